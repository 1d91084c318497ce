#pragma once
#include <cstddef>
#include <cstdint>

namespace kestrel {

// Room for a registry key path as the adapter text reads it, terminating zero included.
constexpr size_t kRegistryPathSize = 260;
// Room for the driver's release version, terminating zero included; longer values are not read.
constexpr uint32_t kReleaseVersionSize = 264;

// The part of a display device's key path from its first "System" on, every backslash doubled.
// False when the path has no "System" part or the doubled path does not fit into out.
bool DoubledRegistryPath(const char* deviceKey, char* out, size_t outSize);

// description, " | ", then the "ReleaseVersion" value of the device's key; " | " alone when that
// value cannot be read.
void ComposeDisplayAdapterText(const char* description, const char* deviceKey, char* dest, size_t destSize);

// The text for display device 0 of the desktop.
void DisplayAdapterText(char* dest, size_t destSize);

}  // namespace kestrel
