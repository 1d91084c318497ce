#include "environment/WindowsVersionName.h"

#include <windows.h>

#include "environment/BoundedText.h"

namespace kestrel {

const char* WindowsVersionNameFor(uint32_t major, uint32_t minor) {
    if (major == 10 && minor == 0) return "Windows 10";
    if (major == 6) {
        if (minor == 3) return "Windows 8.1";
        if (minor == 2) return "Windows 8";
        if (minor == 1) return "Windows 7";
    }
    return "Prior To Win7";
}

void WindowsVersionName(char* dest, size_t destSize) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    static_assert(sizeof(OSVERSIONINFOA) == 148);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&info);
#pragma GCC diagnostic pop
    CopyBounded(dest, destSize, WindowsVersionNameFor(info.dwMajorVersion, info.dwMinorVersion));
}

}  // namespace kestrel
