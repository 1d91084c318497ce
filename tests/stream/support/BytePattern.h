#pragma once
#include <cstdint>
#include <vector>

namespace kestrel::testing {

// Byte i of a stream that repeats only after 2^32 bytes, so that a lost, doubled or misplaced
// stretch of a ring-sized run shows.
inline uint8_t PatternByte(uint64_t i) {
    uint32_t x = static_cast<uint32_t>(i) * 2654435761u + static_cast<uint32_t>(i >> 32);
    return static_cast<uint8_t>((x >> 24) ^ (x >> 11));
}

inline std::vector<uint8_t> PatternBytes(uint64_t from, uint32_t count) {
    std::vector<uint8_t> bytes(count);
    for (uint32_t k = 0; k < count; ++k) bytes[k] = PatternByte(from + k);
    return bytes;
}

}  // namespace kestrel::testing
