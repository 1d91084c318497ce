// Reads a window's frame back into a buffer that is reused and only grows: the colour buffer the
// application draws into (the back buffer of a double-buffered window), as 4-byte pixels in blue,
// green, red, alpha order, top row first in the result.
#pragma once
#include <windows.h>
#include <cstdint>
#include <memory>

#include "images/FramePixels.h"
#include "images/ReadBackFunctions.h"

namespace kestrel {

class FrameReader {
public:
    // Reads the window of `dc` through `context`, made current for the read when it is not; with a
    // null context, the current context and its device context. Afterwards the thread's current
    // context and device context, and the read context's read buffer, read framebuffer, pixel pack
    // buffer and pack alignment, row length and skips are what they were. Empty when there is no
    // window, no client area or no context to read through.
    FramePixels Read(const ReadBackFunctions& gl, HDC dc, HGLRC context);

    std::uint32_t capacity() const { return capacity_; }

private:
    FramePixels ReadCurrent(const ReadBackFunctions& gl, HDC dc);
    bool Reserve(std::uint32_t pixels);

    std::unique_ptr<std::uint8_t[]> buffer_;
    std::uint32_t capacity_ = 0;  // in pixels
};

}  // namespace kestrel
