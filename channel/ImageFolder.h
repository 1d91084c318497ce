// The folder text frame image file names start with: the settings' imageFolder with a trailing
// backslash.
#pragma once
#include <cstdint>

#include "channel/CaptureSettings.h"

namespace kestrel {

constexpr std::uint32_t kImageFolderSize = 260;

// Copies imageFolder into folder, appending "\" when it does not end with one. False (and folder
// empty) when the field holds no NUL or the text with its backslash and NUL does not fit 260 bytes.
bool BuildImageFolder(const CaptureSettings& settings, char (&folder)[kImageFolderSize]);

}  // namespace kestrel
