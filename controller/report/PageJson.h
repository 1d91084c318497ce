// JSON for the data a report page carries inside its own <script> element: strings escape '<', '>'
// and '&' as well, so that no text of the capture can end the element or start markup.
#pragma once
#include <cstdint>
#include <string_view>

#include "controller/reading/TextOutput.h"

namespace kestrel {

inline void PageJsonString(TextOutput& out, std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    out << '"';
    for (const char ch : text) {
        const auto c = static_cast<std::uint8_t>(ch);
        if (c == '"' || c == '\\')
            out << '\\' << ch;
        else if (c >= 0x20 && c < 0x7F && c != '<' && c != '>' && c != '&')
            out << ch;
        else
            out << "\\u00" << kHex[c >> 4] << kHex[c & 15];  // bytes above 0x7F as Latin-1
    }
    out << '"';
}

}  // namespace kestrel
