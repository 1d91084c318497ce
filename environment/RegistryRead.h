#pragma once
#include <cstdint>

namespace kestrel {

// A registry read never takes more than this many bytes, whatever the destination holds.
constexpr uint32_t kRegistryReadLimit = 1024;

// Reads value valueName of key keyPath under HKEY_LOCAL_MACHINE into dest as a zero-terminated text.
// The key is opened as it is, then for reading through the 64-bit view, then through the 32-bit view,
// so that a 32-bit process on 64-bit Windows also finds keys that only one view holds.
// A value that does not fit into dest (with a terminating zero) is not read. Returns true when read.
bool ReadRegistryValue(const char* keyPath, const char* valueName, char* dest, uint32_t destSize);

}  // namespace kestrel
