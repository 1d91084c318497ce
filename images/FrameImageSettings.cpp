#include "images/FrameImageSettings.h"

#include <cstdio>
#include <cstring>

#include "images/PNG32ImageInterface.h"

namespace kestrel {

std::unique_ptr<FrameImageSettings> FrameImageSettings::Create(const CaptureSettings& settings,
                                                               const char* captureName) {
    auto images = std::make_unique<FrameImageSettings>();
    if (!BuildImageFolder(settings, images->folder)) return nullptr;
    images->saveFlag = settings.imagesByFrame;
    images->interval = settings.imageInterval;
    images->firstFrame = settings.imageFirstFrame;
    const std::size_t length = strnlen(captureName, kNameSize - 1);
    std::size_t start = length;
    while (start > 0 && captureName[start - 1] != '\\') --start;
    std::snprintf(images->namePrefix, sizeof images->namePrefix, "%.*s_", static_cast<int>(length - start),
                  captureName + start);
    std::snprintf(images->pathPrefix_, sizeof images->pathPrefix_, "%s%s", images->folder, images->namePrefix);
    return images;
}

void FrameImageSettings::SetUpFrame(std::uint32_t newWidth, std::uint32_t newHeight) {
    if (image && newWidth == width && newHeight == height) return;
    image = std::make_unique<PNG32ImageInterface>(newWidth, newHeight);
    width = newWidth;
    height = newHeight;
}

std::uint32_t FrameImageSettings::Step(std::uint32_t frameNumber, std::uint8_t* top, std::int64_t stride) {
    if (!image || !top) return 0;
    image->Attach(top, stride);
    // A lost image does not stop the capture.
    if (saveFlag) image->save(pathPrefix_, static_cast<int>(frameNumber), -1);
    return 1;
}

}  // namespace kestrel
