#pragma once
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace kestrel {

// Large ring writes are read by another process long after they leave the writer's cache, so they
// bypass the cache: non-temporal stores skip the read-for-ownership and double the bandwidth into
// the mapping. The closing sfence orders them before the write offset that publishes them.
constexpr uint32_t kStreamingCopyMin = 16u << 10;

inline void StreamingCopy(void* dest, const void* src, uint32_t size) {
    auto* d = static_cast<unsigned char*>(dest);
    auto* s = static_cast<const unsigned char*>(src);
    uint32_t head = static_cast<uint32_t>(-reinterpret_cast<uintptr_t>(d) & 15);  // to 16-byte alignment
    if (head > size) head = size;
    std::memcpy(d, s, head);
    d += head;
    s += head;
    size -= head;
    uint32_t i = 0;
    for (; i + 64 <= size; i += 64) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 16));
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 32));
        __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 48));
        _mm_stream_si128(reinterpret_cast<__m128i*>(d + i), a);
        _mm_stream_si128(reinterpret_cast<__m128i*>(d + i + 16), b);
        _mm_stream_si128(reinterpret_cast<__m128i*>(d + i + 32), c);
        _mm_stream_si128(reinterpret_cast<__m128i*>(d + i + 48), e);
    }
    _mm_sfence();
    std::memcpy(d + i, s + i, size - i);
}

}  // namespace kestrel
