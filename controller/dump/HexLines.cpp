#include "controller/dump/HexLines.h"

#include <algorithm>

namespace kestrel {

void HexLines::Append(TextOutput& out, const std::uint8_t* bytes, std::uint64_t available, std::uint64_t total,
                      std::uint64_t limit) {
    static const char kDigits[] = "0123456789ABCDEF";
    const std::uint64_t shown = std::min({available, total, limit});
    for (std::uint64_t line = 0; line < shown; line += kBytesPerLine) {
        out << "          ";
        out.Hex(line, 4);
        out << ':';
        const std::uint64_t end = std::min<std::uint64_t>(shown, line + kBytesPerLine);
        for (std::uint64_t i = line; i < end; ++i) {
            const char text[3] = {' ', kDigits[bytes[i] >> 4], kDigits[bytes[i] & 15]};
            out << std::string_view(text, 3);
        }
        out.EndLine();
    }
    if (shown < total) {
        out << "          ... ";
        out.Unsigned(total - shown);
        out << " more bytes";
        out.EndLine();
    }
}

}  // namespace kestrel
