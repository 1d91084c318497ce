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
    // that cannot be made keeps nothing. With a write-through prefix it is written at once.
    void Keep(std::uintptr_t surface, const FramePixels& frame);
    // The surface presented a frame: its picture goes, and with it a file written through.
    void Drop(std::uintptr_t surface);
    bool Holds(std::uintptr_t surface) const { return kept_.count(surface) != 0; }
    std::size_t size() const { return kept_.size(); }

    // Every picture is written as it is kept, its file removed when it is dropped: for the recorder,
    // whose finish runs at process detach, where no file can be written safely.
    void WriteThrough(const char* pathPrefix);

    // Writes every picture kept, named by FormatFinalImageFileName with the surfaces numbered in the
    // order they were first kept (the first is <prefix>final.png); returns how many were written.
    std::uint32_t Save(const char* pathPrefix) const;

private:
    struct Picture {
        std::unique_ptr<std::uint8_t[]> pixels;  // blue, green, red, fourth byte; top row first
        std::uint32_t width = 0;
        std::uint32_t height = 0;
    };
    bool Write(const char* pathPrefix, std::uintptr_t surface, const Picture& picture) const;
    std::uint32_t Ordinal(std::uintptr_t surface) const;

    std::map<std::uintptr_t, Picture> kept_;
    std::map<std::uintptr_t, std::uint32_t> ordinals_;  // by surface, from 1, in the order first kept
    std::unique_ptr<char[]> writeThrough_;
};

}  // namespace kestrel
