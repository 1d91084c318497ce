#include "controller/reading/TextOutput.h"

#include <cerrno>
#include <charconv>
#include <cmath>

namespace kestrel {

namespace {
constexpr int kMaxPadding = 32;
constexpr char kSpaces[kMaxPadding + 1] = "                                ";

// Writes the digits backwards, ending at `end`; returns where they start. In a 32-bit program a
// 64-bit division is a library call, so the work is done in 32-bit pieces of nine digits.
char* DecimalBackwards(std::uint64_t value, char* end) {
    while (value > 0xFFFFFFFFu) {
        std::uint64_t high;
        if (value < (std::uint64_t{1} << 53)) {
            // The double quotient is off by at most one, which the remainder shows.
            high = static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<double>(static_cast<std::int64_t>(value)) / 1e9));
            const auto remainder = static_cast<std::int64_t>(value - high * 1000000000u);
            if (remainder < 0) --high;
            if (remainder >= 1000000000) ++high;
        } else {
            high = value / 1000000000u;
        }
        auto low = static_cast<std::uint32_t>(value - high * 1000000000u);
        for (int i = 0; i < 9; ++i) {
            *--end = static_cast<char>('0' + low % 10);
            low /= 10;
        }
        value = high;
    }
    auto rest = static_cast<std::uint32_t>(value);
    do {
        *--end = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    return end;
}

// The shortest fixed-point text with at most maxFraction decimals that reads back as the value,
// for the plain values that most captures hold; 0 when there is none, and the general (and much
// slower here) conversion is needed.
int ShortDecimal(double value, bool single, int maxFraction, char* out) {
    static const double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    const double magnitude = std::fabs(value);
    if (!(magnitude < 1e7) || (magnitude != 0 && magnitude < 1e-5)) return 0;
    for (int fraction = 0; fraction <= maxFraction; ++fraction) {
        const double scaled = magnitude * kPowers[fraction];
        if (scaled >= 4e15) return 0;
        // Conversions of 64-bit integers are library calls in a 32-bit program; most values fit 31 bits.
        const std::uint64_t whole = scaled < 2147483647.0 ? static_cast<std::uint32_t>(static_cast<std::int32_t>(scaled + 0.5))
                                                          : static_cast<std::uint64_t>(scaled + 0.5);
        const double back = (whole <= 0x7FFFFFFFu ? static_cast<double>(static_cast<std::int32_t>(whole))
                                                  : static_cast<double>(whole)) / kPowers[fraction];
        if (single ? static_cast<float>(back) != static_cast<float>(magnitude) : back != magnitude) continue;
        char digits[32];
        char* start = DecimalBackwards(whole, digits + sizeof digits);
        while (digits + sizeof digits - start <= fraction) *--start = '0';  // 0.05: a digit before the point
        const int length = static_cast<int>(digits + sizeof digits - start);
        char* at = out;
        if (std::signbit(value)) *at++ = '-';
        for (int i = 0; i < length - fraction; ++i) *at++ = start[i];
        if (fraction) {
            *at++ = '.';
            for (int i = length - fraction; i < length; ++i) *at++ = start[i];
        }
        return static_cast<int>(at - out);
    }
    return 0;
}
}  // namespace

TextOutput::TextOutput(std::FILE* sink, std::size_t flushAt) : sink_(sink), flushAt_(flushAt) {
    Grow(sink_ ? flushAt_ + 4096 : 4096);
}

TextOutput::~TextOutput() { Flush(); }

char* TextOutput::Grow(std::size_t n) {
    std::size_t capacity = capacity_ ? capacity_ : 4096;
    while (capacity - size_ < n) capacity *= 2;
    if (capacity != capacity_) {
        std::unique_ptr<char[]> bigger(new char[capacity]);
        if (size_) std::memcpy(bigger.get(), buffer_.get(), size_);
        buffer_ = std::move(bigger);
        capacity_ = capacity;
    }
    return buffer_.get() + size_;
}

void TextOutput::Unsigned(std::uint64_t value) { Digits(value, false, 0); }

void TextOutput::Signed(std::int64_t value) {
    const bool negative = value < 0;
    Digits(negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value), negative, 0);
}

void TextOutput::Hex(std::uint64_t value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    char text[18];
    int n = 0;
    do {
        text[sizeof text - 1 - n++] = kDigits[value & 15];
        value >>= 4;
    } while ((value != 0 || n < digits) && n < 16);
    char* at = Room(2 + static_cast<std::size_t>(n));
    at[0] = '0';
    at[1] = 'x';
    CopyBytes(at + 2, text + sizeof text - n, static_cast<std::uint32_t>(n));
    size_ += 2 + static_cast<std::size_t>(n);
}

void TextOutput::Float(float value) {
    char* at = Room(48);
    if (const int length = ShortDecimal(value, true, 7, at)) {
        size_ += static_cast<std::size_t>(length);
        return;
    }
    size_ = static_cast<std::size_t>(std::to_chars(at, at + 48, value).ptr - buffer_.get());
}

void TextOutput::Double(double value) {
    char* at = Room(48);
    if (const int length = ShortDecimal(value, false, 9, at)) {
        size_ += static_cast<std::size_t>(length);
        return;
    }
    size_ = static_cast<std::size_t>(std::to_chars(at, at + 48, value).ptr - buffer_.get());
}

void TextOutput::Quoted(const std::uint8_t* bytes, std::size_t size, std::size_t limit) {
    static const char kDigits[] = "0123456789ABCDEF";
    const std::size_t count = size < limit ? size : limit;
    char* at = Room(count * 4 + 5);  // every byte escaped at worst, the quotes and "..."
    char* out = at;
    *out++ = '"';
    std::size_t i = 0;
    for (; i < count && bytes[i] != 0; ++i) {
        const std::uint8_t c = bytes[i];
        if (c == '"' || c == '\\') {
            *out++ = '\\';
            *out++ = static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            *out++ = static_cast<char>(c);
        } else if (c == '\n') {
            *out++ = '\\';
            *out++ = 'n';
        } else {
            *out++ = '\\';
            *out++ = 'x';
            *out++ = kDigits[c >> 4];
            *out++ = kDigits[c & 15];
        }
    }
    *out++ = '"';
    if (i == limit && i < size && bytes[i] != 0) {
        std::memcpy(out, "...", 3);
        out += 3;
    }
    size_ += static_cast<std::size_t>(out - at);
}

void TextOutput::Padded(std::uint64_t value, int width) { Digits(value, false, width); }

void TextOutput::PaddedSigned(std::int64_t value, int width) {
    const bool negative = value < 0;
    Digits(negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value), negative, width);
}

void TextOutput::Digits(std::uint64_t magnitude, bool negative, int width) {
    // Copied a character at a time: short, and no library call per number.
    char digits[24];
    char* start = DecimalBackwards(magnitude, digits + sizeof digits);
    if (negative) *--start = '-';
    const auto length = static_cast<int>(digits + sizeof digits - start);
    const int spaces = length < width ? (width - length < kMaxPadding ? width - length : kMaxPadding) : 0;
    char* at = Room(static_cast<std::size_t>(spaces + length));
    CopyBytes(at, kSpaces, static_cast<std::uint32_t>(spaces));
    for (int i = 0; i < length; ++i) at[spaces + i] = start[i];
    size_ += static_cast<std::size_t>(spaces + length);
}

void TextOutput::EndLine() {
    *Room(1) = '\n';
    ++size_;
    if (sink_ && size_ >= flushAt_) Flush();
}

bool TextOutput::Flush() {
    if (!sink_) return !failed_;
    if (!failed_ && ((size_ && std::fwrite(buffer_.get(), 1, size_, sink_) != size_) || std::fflush(sink_) != 0)) {
        failed_ = true;
        error_ = errno;
    }
    size_ = 0;
    return !failed_;
}

}  // namespace kestrel
