// The file name of a frame image: prefix, the index as "%.4d", "_" and the sub-index when it is not
// negative, then the extension.
#pragma once
#include <cstddef>

namespace kestrel {

// False when the name does not fit `size` bytes with its NUL.
bool FormatImageFileName(char* name, std::size_t size, const char* prefix, int index, int subIndex,
                         const char* extension);

}  // namespace kestrel
