// What frame images are saved as and where, built once at capture start-up, with the image object
// the read-back pixels are handed to.
#pragma once
#include <cstdint>
#include <memory>

#include "channel/CaptureSettings.h"
#include "channel/ImageFolder.h"
#include "images/BaseImageInterface.h"

namespace kestrel {

class FrameImageSettings {
public:
    static constexpr std::uint32_t kNameSize = 260;

    // From the settings record and the capture name. Null when the folder with its backslash does not
    // fit its field: such a capture runs without images.
    static std::unique_ptr<FrameImageSettings> Create(const CaptureSettings& settings, const char* captureName);

    // A new image object of the read-back's size when that differs from the last one.
    void SetUpFrame(std::uint32_t width, std::uint32_t height);

    // Hands the pixels to the image object and, with the save flag, saves it as the frame's file.
    // 1 when the pixels were taken; 0 without an image object or pixels.
    std::uint32_t Step(std::uint32_t frameNumber, std::uint8_t* top, std::int64_t stride);

    // Folder followed by the name prefix: what every image file name starts with.
    const char* pathPrefix() const { return pathPrefix_; }

    std::uint32_t saveFlag = 0;
    std::uint32_t interval = 0;
    std::uint32_t firstFrame = 0;
    char folder[kImageFolderSize] = {};
    char namePrefix[kNameSize + 1] = {};  // the capture name's last part, at most 259 characters, and "_"
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::unique_ptr<BaseImageInterface> image;

private:
    char pathPrefix_[kImageFolderSize + kNameSize] = {};
};

}  // namespace kestrel
