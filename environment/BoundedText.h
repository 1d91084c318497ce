#pragma once
#include <cstddef>
#include <cstring>

namespace kestrel {

// Appends src to the zero-terminated text in dest, cutting it so that dest keeps its terminating zero.
inline void AppendBounded(char* dest, size_t destSize, const char* src) {
    if (destSize == 0) return;
    size_t used = std::strlen(dest);
    size_t room = destSize - 1 - used;
    size_t n = std::strlen(src);
    if (n > room) n = room;
    std::memcpy(dest + used, src, n);
    dest[used + n] = '\0';
}

// Copies src into dest, cut to fit with its terminating zero.
inline void CopyBounded(char* dest, size_t destSize, const char* src) {
    if (destSize == 0) return;
    dest[0] = '\0';
    AppendBounded(dest, destSize, src);
}

}  // namespace kestrel
