#pragma once
#include <cstddef>
#include <cstdint>

namespace kestrel {

// "Windows 10", "Windows 8.1", "Windows 8", "Windows 7" or "Prior To Win7" for a reported version.
const char* WindowsVersionNameFor(uint32_t major, uint32_t minor);

// Writes the name of the running system's version (as GetVersionExA reports it) into dest.
void WindowsVersionName(char* dest, size_t destSize);

}  // namespace kestrel
