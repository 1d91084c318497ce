// Text built up in memory and written out in large pieces: a dump of a large capture is millions of
// lines, and one write per line, or a string that checks its size at every character, would cost
// more than reading the capture.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "stream/InlineCopy.h"

namespace kestrel {

class TextOutput {
public:
    // Without a sink the text stays in memory (text()); with one it goes there whenever a line
    // ends with more than flushAt bytes held.
    explicit TextOutput(std::FILE* sink = nullptr, std::size_t flushAt = 1u << 20);
    ~TextOutput();
    TextOutput(const TextOutput&) = delete;
    TextOutput& operator=(const TextOutput&) = delete;

    TextOutput& operator<<(std::string_view text) {
        CopyBytes(Room(text.size()), text.data(), static_cast<std::uint32_t>(text.size()));  // msvcrt's memcpy is slow for short text
        size_ += text.size();
        return *this;
    }
    TextOutput& operator<<(char c) {
        *Room(1) = c;
        ++size_;
        return *this;
    }
    void Unsigned(std::uint64_t value);
    void Signed(std::int64_t value);
    // 0x and at least `digits` upper-case hex digits.
    void Hex(std::uint64_t value, int digits = 1);
    // The shortest text that reads back as the same value.
    void Float(float value);
    void Double(double value);
    // Between quotes, stopping at a zero byte and after `limit` bytes; other bytes that are not
    // printable ASCII are escaped, so that a capture cannot put control characters on the terminal.
    void Quoted(const std::uint8_t* bytes, std::size_t size, std::size_t limit);
    // Right-aligned in a field of `width` characters (at most 32).
    void Padded(std::uint64_t value, int width);
    void PaddedSigned(std::int64_t value, int width);
    void EndLine();

    // False when writing to the sink failed; the text is then dropped.
    bool Flush();
    bool failed() const { return failed_; }
    int error() const { return error_; }  // errno of the failed write
    std::string_view text() const { return {buffer_.get(), size_}; }
    void Clear() { size_ = 0; }

private:
    // Where `n` more characters go; the caller adds n to size_ for those it wrote.
    char* Room(std::size_t n) { return capacity_ - size_ >= n ? buffer_.get() + size_ : Grow(n); }
    char* Grow(std::size_t n);
    void Digits(std::uint64_t magnitude, bool negative, int width);

    std::FILE* sink_;
    std::size_t flushAt_;
    std::unique_ptr<char[]> buffer_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    bool failed_ = false;
    int error_ = 0;
};

}  // namespace kestrel
