#pragma once
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace kestrel {

// msvcrt's memcpy costs ~10 ns for a 64-byte block under Wine; the small blocks that make up most
// records are copied here with loads and stores the compiler inlines. Large blocks go to memcpy.
inline void CopyBytes(void* dest, const void* src, uint32_t size) {
    auto* d = static_cast<unsigned char*>(dest);
    auto* s = static_cast<const unsigned char*>(src);
    if (size <= 16) {
        if (size >= 8) {  // two 8-byte moves that overlap in the middle
            uint64_t head, tail;
            __builtin_memcpy(&head, s, 8);
            __builtin_memcpy(&tail, s + size - 8, 8);
            __builtin_memcpy(d, &head, 8);
            __builtin_memcpy(d + size - 8, &tail, 8);
        } else if (size >= 4) {
            uint32_t head, tail;
            __builtin_memcpy(&head, s, 4);
            __builtin_memcpy(&tail, s + size - 4, 4);
            __builtin_memcpy(d, &head, 4);
            __builtin_memcpy(d + size - 4, &tail, 4);
        } else if (size > 0) {
            d[0] = s[0];
            d[size / 2] = s[size / 2];
            d[size - 1] = s[size - 1];
        }
        return;
    }
    if (size <= 256) {  // 16-byte moves, the last one ending exactly at the end
        uint32_t i = 0;
        for (; i + 16 < size; i += 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + size - 16),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + size - 16)));
        return;
    }
    std::memcpy(d, s, size);
}

}  // namespace kestrel
