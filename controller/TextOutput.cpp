#include "controller/TextOutput.h"

#include <charconv>

namespace kestrel {

TextOutput::TextOutput(std::FILE* sink, std::size_t flushAt) : sink_(sink), flushAt_(flushAt) {
    if (sink_) text_.reserve(flushAt_ + 4096);
}

TextOutput::~TextOutput() { Flush(); }

void TextOutput::Unsigned(std::uint64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text_.append(digits, result.ptr);
}

void TextOutput::Signed(std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text_.append(digits, result.ptr);
}

void TextOutput::Hex(std::uint64_t value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    char text[18];
    int n = 0;
    do {
        text[sizeof text - 1 - n++] = kDigits[value & 15];
        value >>= 4;
    } while (value != 0 || n < digits);
    text_.append("0x");
    text_.append(text + sizeof text - n, static_cast<std::size_t>(n));
}

void TextOutput::Float(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    text_.append(text, result.ptr);
}

void TextOutput::Double(double value) {
    char text[40];
    const auto result = std::to_chars(text, text + sizeof text, value);
    text_.append(text, result.ptr);
}

void TextOutput::Quoted(const std::uint8_t* bytes, std::size_t size, std::size_t limit) {
    text_.push_back('"');
    std::size_t i = 0;
    for (; i < size && i < limit && bytes[i] != 0; ++i) {
        const std::uint8_t c = bytes[i];
        if (c == '"' || c == '\\') {
            text_.push_back('\\');
            text_.push_back(static_cast<char>(c));
        } else if (c >= 0x20 && c < 0x7F) {
            text_.push_back(static_cast<char>(c));
        } else if (c == '\n') {
            text_.append("\\n");
        } else {
            static const char kDigits[] = "0123456789ABCDEF";
            const char escape[4] = {'\\', 'x', kDigits[c >> 4], kDigits[c & 15]};
            text_.append(escape, 4);
        }
    }
    text_.push_back('"');
    if (i == limit && i < size && bytes[i] != 0) text_.append("...");
}

void TextOutput::Padded(std::uint64_t value, int width) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    for (int n = static_cast<int>(result.ptr - digits); n < width; ++n) text_.push_back(' ');
    text_.append(digits, result.ptr);
}

void TextOutput::PaddedSigned(std::int64_t value, int width) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    for (int n = static_cast<int>(result.ptr - digits); n < width; ++n) text_.push_back(' ');
    text_.append(digits, result.ptr);
}

void TextOutput::EndLine() {
    text_.push_back('\n');
    if (sink_ && text_.size() >= flushAt_) Flush();
}

bool TextOutput::Flush() {
    if (!sink_) return !failed_;
    if (!failed_ && !text_.empty() && std::fwrite(text_.data(), 1, text_.size(), sink_) != text_.size()) failed_ = true;
    if (!failed_ && std::fflush(sink_) != 0) failed_ = true;
    text_.clear();
    return !failed_;
}

}  // namespace kestrel
