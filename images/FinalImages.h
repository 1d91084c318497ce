// The final images of a capture or a replay: for each surface whose last drawing was never presented
// (a program that draws, reads its result back with glReadPixels and ends, say), the picture it held
// when it was last read, saved once the capture ends. A surface that presents a frame loses its
// picture: its drawing is in that frame's image.
#pragma once
#include <cstdint>
#include <map>
#include <memory>

#include "images/FramePixels.h"

namespace kestrel {

class FinalImages {
public:
    // A copy of the pixels becomes the surface's picture, in place of the one kept before. A copy
    // that cannot be made keeps nothing.
    void Keep(std::uint32_t surface, const FramePixels& frame);
    void Drop(std::uint32_t surface) { kept_.erase(surface); }
    bool Holds(std::uint32_t surface) const { return kept_.count(surface) != 0; }
    std::size_t size() const { return kept_.size(); }

    // Writes every picture kept, named by FormatFinalImageFileName with the surfaces in ascending
    // order of their handles (the first is <prefix>final.png); returns how many were written.
    std::uint32_t Save(const char* pathPrefix) const;

private:
    struct Picture {
        std::unique_ptr<std::uint8_t[]> pixels;  // blue, green, red, fourth byte; top row first
        std::uint32_t width = 0;
        std::uint32_t height = 0;
    };
    std::map<std::uint32_t, Picture> kept_;
};

}  // namespace kestrel
