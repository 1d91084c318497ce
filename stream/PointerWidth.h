// Pointers, handles and pointer-sized integers (GLintptr, GLsizeiptr) take the recorded process's own
// width in a payload: 4 bytes in a 32-bit capture, 8 in a 64-bit one. The API type record says which.
#pragma once
#include <cstdint>

namespace kestrel {

inline constexpr std::uint32_t kPointerBytes = sizeof(void*);
inline constexpr std::uint32_t kPointerBits = kPointerBytes * 8;
// What a pointer-sized value adds to a layout beyond the 4 bytes it has in a 32-bit process.
inline constexpr std::uint32_t kPointerExtraBytes = kPointerBytes - 4;

// A pointer or handle as a payload of this process holds it.
using Address = std::uintptr_t;

// The pointer widths that a capture may name, in bits.
inline constexpr bool IsKnownPointerBits(std::uint32_t bits) { return bits == 32 || bits == 64; }

static_assert(kPointerBytes == 4 || kPointerBytes == 8);

}  // namespace kestrel
