#include "images/FinalImages.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "images/ImageFileName.h"
#include "images/PNG32ImageInterface.h"

namespace kestrel {

void FinalImages::Keep(std::uint32_t surface, const FramePixels& frame) {
    if (!frame) return;
    const std::size_t row = 4 * static_cast<std::size_t>(frame.width);
    Picture picture;
    picture.pixels.reset(new (std::nothrow) std::uint8_t[row * frame.height]);
    if (!picture.pixels) return;
    for (std::uint32_t y = 0; y < frame.height; ++y)
        std::memcpy(picture.pixels.get() + y * row, frame.top + static_cast<std::int64_t>(y) * frame.stride, row);
    picture.width = frame.width;
    picture.height = frame.height;
    // Inside a recorded call no exception may escape: a picture that cannot be kept is lost.
    try {
        kept_[surface] = std::move(picture);
    } catch (...) {
    }
}

std::uint32_t FinalImages::Save(const char* pathPrefix) const {
    std::uint32_t written = 0, ordinal = 0;
    for (const auto& [surface, picture] : kept_) {
        char name[2 * MAX_PATH];
        if (!FormatFinalImageFileName(name, sizeof name, pathPrefix, ++ordinal, ".png")) continue;
        PNG32ImageInterface image(picture.width, picture.height);
        image.Attach(picture.pixels.get(), 4 * static_cast<std::int64_t>(picture.width));
        if (image.SaveFile(name) == 0) ++written;
    }
    return written;
}

}  // namespace kestrel
