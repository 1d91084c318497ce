#include "environment/DisplayAdapterText.h"

#include <windows.h>

#include <cstring>

#include "environment/BoundedText.h"
#include "environment/RegistryRead.h"

namespace kestrel {

bool DoubledRegistryPath(const char* deviceKey, char* out, size_t outSize) {
    const char* from = std::strstr(deviceKey, "System");
    if (from == nullptr || outSize == 0) return false;
    size_t n = 0;
    for (const char* p = from; *p != '\0'; ++p) {
        size_t width = *p == '\\' ? 2 : 1;
        if (n + width >= outSize) return false;
        out[n++] = *p;
        if (width == 2) out[n++] = '\\';
    }
    out[n] = '\0';
    return true;
}

void ComposeDisplayAdapterText(const char* description, const char* deviceKey, char* dest, size_t destSize) {
    CopyBounded(dest, destSize, description);
    AppendBounded(dest, destSize, " | ");
    char path[kRegistryPathSize];
    char release[kReleaseVersionSize];
    if (DoubledRegistryPath(deviceKey, path, sizeof(path)) &&
        ReadRegistryValue(path, "ReleaseVersion", release, sizeof(release))) {
        AppendBounded(dest, destSize, release);
    }
}

void DisplayAdapterText(char* dest, size_t destSize) {
    DISPLAY_DEVICEA device{};
    device.cb = sizeof(device);
    static_assert(sizeof(DISPLAY_DEVICEA) == 424);
    if (!EnumDisplayDevicesA(nullptr, 0, &device, 0)) {
        device.DeviceString[0] = '\0';
        device.DeviceKey[0] = '\0';
    }
    ComposeDisplayAdapterText(device.DeviceString, device.DeviceKey, dest, destSize);
}

}  // namespace kestrel
