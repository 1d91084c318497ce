// Capturer addresses travel as 64-bit words, sign-extended from the 32-bit process's pointer.
#pragma once
#include <cstdint>

namespace kestrel {

inline std::uint64_t SignExtendedAddress(std::uint32_t address) {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(address)));
}

inline std::uint64_t SignExtendedAddress(const void* address) {
    return SignExtendedAddress(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(address)));
}

}  // namespace kestrel
