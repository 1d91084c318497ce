#include "images/BaseImageInterface.h"

namespace kestrel {

BaseImageInterface::~BaseImageInterface() { FreePixels(); }

void BaseImageInterface::Attach(std::uint8_t* top, std::int64_t rowStride) {
    FreePixels();
    pixels = top;
    stride = rowStride;
}

void BaseImageInterface::FreePixels() {
    if (ownsPixels) delete[] pixels;
    pixels = nullptr;
    ownsPixels = 0;
}

}  // namespace kestrel
