// Builds the exact bytes a record payload should hold, little-endian and packed.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

inline constexpr std::size_t kPointerBytes = sizeof(void*);

class Bytes {
public:
    Bytes& u8(std::uint8_t v) { return raw(&v, 1); }
    Bytes& i8(std::int8_t v) { return raw(&v, 1); }
    Bytes& u16(std::uint16_t v) { return raw(&v, 2); }
    Bytes& u32(std::uint32_t v) { return raw(&v, 4); }
    Bytes& i32(std::int32_t v) { return raw(&v, 4); }
    Bytes& u64(std::uint64_t v) { return raw(&v, 8); }
    Bytes& f32(float v) { return raw(&v, 4); }
    Bytes& f64(double v) { return raw(&v, 8); }
    // Pointers, handles and pointer-sized integers take the recorded process's width, which is the
    // test's own: 4 bytes in a 32-bit build, 8 in a 64-bit one.
    Bytes& addr(std::uint64_t v) { return raw(&v, kPointerBytes); }
    Bytes& sizeiptr(std::int64_t v) { return raw(&v, kPointerBytes); }
    Bytes& ptr(const void* p) { return addr(reinterpret_cast<std::uintptr_t>(p)); }
    Bytes& str(const char* text) { return raw(text, std::strlen(text) + 1); }  // with its NUL
    Bytes& zeros(std::size_t n) {
        data_.resize(data_.size() + n, 0);
        return *this;
    }
    template <class T, std::size_t N>
    Bytes& values(const T (&array)[N]) {
        return raw(array, sizeof array);
    }
    Bytes& raw(const void* data, std::size_t size) {
        const std::size_t at = data_.size();
        data_.resize(at + size);
        if (size) std::memcpy(data_.data() + at, data, size);
        return *this;
    }

    const std::vector<std::uint8_t>& data() const { return data_; }
    std::size_t size() const { return data_.size(); }

private:
    std::vector<std::uint8_t> data_;
};

// Hex text of a byte run, for failure messages.
inline std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) text += ' ';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}
