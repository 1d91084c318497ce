// A frame read back: the top row of 4-byte pixels (blue, green, red, alpha), the step from one row
// to the next (negative: rows stored bottom-up) and the size. Empty when nothing was read.
#pragma once
#include <cstdint>

namespace kestrel {

struct FramePixels {
    std::uint8_t* top = nullptr;
    std::int64_t stride = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;

    explicit operator bool() const { return top != nullptr; }
};

}  // namespace kestrel
