// Reads the shown frame back and saves it as an image file; the capturer asks it at frame ends.
#pragma once
#include <cstdint>

namespace kestrel {

class FrameImageSource {
public:
    virtual ~FrameImageSource() = default;
    // True when an image of the frame was obtained.
    virtual bool Take(std::uint32_t frameNumber) = 0;
};

}  // namespace kestrel
