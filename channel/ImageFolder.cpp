#include "channel/ImageFolder.h"

#include <cstring>

namespace kestrel {

bool BuildImageFolder(const CaptureSettings& settings, char (&folder)[kImageFolderSize]) {
    folder[0] = '\0';
    const void* end = std::memchr(settings.imageFolder, '\0', sizeof settings.imageFolder);
    if (!end) return false;
    const auto length = static_cast<std::size_t>(static_cast<const char*>(end) - settings.imageFolder);
    const bool slash = length > 0 && settings.imageFolder[length - 1] == '\\';
    const std::size_t total = length + (slash ? 0 : 1);
    if (total + 1 > sizeof folder) return false;
    std::memcpy(folder, settings.imageFolder, length);
    if (!slash) folder[length] = '\\';
    folder[total] = '\0';
    return true;
}

}  // namespace kestrel
