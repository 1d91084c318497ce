#include "environment/RegistryRead.h"

#include <windows.h>

namespace kestrel {

namespace {

constexpr REGSAM kRead64 = KEY_READ | KEY_WOW64_64KEY;  // 0x20119
constexpr REGSAM kRead32 = KEY_READ | KEY_WOW64_32KEY;  // 0x20219
static_assert(kRead64 == 0x20119 && kRead32 == 0x20219);

bool OpenMachineKey(const char* keyPath, HKEY* key) {
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, keyPath, key) == ERROR_SUCCESS) return true;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, kRead64, key) == ERROR_SUCCESS) return true;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, kRead32, key) == ERROR_SUCCESS;
}

}  // namespace

bool ReadRegistryValue(const char* keyPath, const char* valueName, char* dest, uint32_t destSize) {
    if (destSize == 0) return false;
    dest[0] = '\0';
    HKEY key;
    if (!OpenMachineKey(keyPath, &key)) return false;
    DWORD size = destSize < kRegistryReadLimit ? destSize : kRegistryReadLimit;
    LONG status = RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(dest), &size);
    RegCloseKey(key);
    // A stored string need not carry its terminating zero: add one, or reject a value that leaves no room.
    bool terminated = size > 0 && dest[size - 1] == '\0';
    if (status != ERROR_SUCCESS || (!terminated && size >= destSize)) {
        dest[0] = '\0';
        return false;
    }
    if (!terminated) dest[size] = '\0';
    return true;
}

}  // namespace kestrel
