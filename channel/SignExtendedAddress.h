// Capturer addresses travel as 64-bit words: a 32-bit process's pointer sign-extended, a 64-bit one's as it is.
#pragma once
#include <cstdint>

namespace kestrel {

inline std::uint64_t SignExtendedAddress(std::uint32_t address) {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(address)));
}

inline std::uint64_t SignExtendedAddress(const void* address) {
    if constexpr (sizeof(void*) == 8) {
        return reinterpret_cast<std::uintptr_t>(address);
    } else {
        return SignExtendedAddress(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address)));
    }
}

}  // namespace kestrel
