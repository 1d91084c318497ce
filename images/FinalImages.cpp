#include "images/FinalImages.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "images/ImageFileName.h"
#include "images/PNG32ImageInterface.h"

namespace kestrel {

void FinalImages::Keep(std::uintptr_t surface, const FramePixels& frame) {
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
        ordinals_.try_emplace(surface, static_cast<std::uint32_t>(ordinals_.size() + 1));
        Picture& kept = kept_[surface] = std::move(picture);
        if (writeThrough_) Write(writeThrough_.get(), surface, kept);
    } catch (...) {
    }
}

void FinalImages::Drop(std::uintptr_t surface) {
    if (kept_.erase(surface) == 0 || !writeThrough_) return;
    char name[2 * MAX_PATH];
    if (FormatFinalImageFileName(name, sizeof name, writeThrough_.get(), Ordinal(surface), ".png")) DeleteFileA(name);
}

void FinalImages::WriteThrough(const char* pathPrefix) {
    const std::size_t length = std::strlen(pathPrefix);
    writeThrough_.reset(new (std::nothrow) char[length + 1]);
    if (writeThrough_) std::memcpy(writeThrough_.get(), pathPrefix, length + 1);
}

std::uint32_t FinalImages::Ordinal(std::uintptr_t surface) const {
    const auto found = ordinals_.find(surface);
    return found != ordinals_.end() ? found->second : 0;
}

bool FinalImages::Write(const char* pathPrefix, std::uintptr_t surface, const Picture& picture) const {
    char name[2 * MAX_PATH];
    if (!FormatFinalImageFileName(name, sizeof name, pathPrefix, Ordinal(surface), ".png")) return false;
    PNG32ImageInterface image(picture.width, picture.height);
    image.Attach(picture.pixels.get(), 4 * static_cast<std::int64_t>(picture.width));
    return image.SaveFile(name) == 0;
}

std::uint32_t FinalImages::Save(const char* pathPrefix) const {
    std::uint32_t written = 0;
    for (const auto& [surface, picture] : kept_) written += Write(pathPrefix, surface, picture) ? 1 : 0;
    return written;
}

}  // namespace kestrel
