// The file names of images: prefix, the index as "%.4d", "_" and the sub-index when it is not
// negative, then the extension.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kestrel {

// False when the name does not fit `size` bytes with its NUL.
bool FormatImageFileName(char* name, std::size_t size, const char* prefix, int index, int subIndex,
                         const char* extension);

// The file name of a final image (a surface's last picture, never presented): prefix, "final", then
// "_" and the ordinal for every surface but the first (ordinal 1), then the extension. No frame
// image's name ends that way.
bool FormatFinalImageFileName(char* name, std::size_t size, const char* prefix, std::uint32_t ordinal,
                              const char* extension);

}  // namespace kestrel
