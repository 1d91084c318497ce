#include "images/ImageFileName.h"

#include <cstdio>

namespace kestrel {

bool FormatImageFileName(char* name, std::size_t size, const char* prefix, int index, int subIndex,
                         const char* extension) {
    const int length = subIndex < 0 ? std::snprintf(name, size, "%s%.4d%s", prefix, index, extension)
                                    : std::snprintf(name, size, "%s%.4d_%d%s", prefix, index, subIndex, extension);
    return length >= 0 && static_cast<std::size_t>(length) < size;
}

bool FormatFinalImageFileName(char* name, std::size_t size, const char* prefix, std::uint32_t ordinal,
                              const char* extension) {
    const int length = ordinal <= 1 ? std::snprintf(name, size, "%sfinal%s", prefix, extension)
                                    : std::snprintf(name, size, "%sfinal_%u%s", prefix, ordinal, extension);
    return length >= 0 && static_cast<std::size_t>(length) < size;
}

}  // namespace kestrel
