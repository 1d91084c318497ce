// What a test program read back from its own colour buffer, kept in a file for the test that checks
// the recorder's images against it: width and height (u32), then the RGBA rows bottom-up as
// glReadPixels gives them with a pack alignment of 1.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TruthFrame {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> rgba;

    bool Write(const std::string& path) const;
    bool Read(const std::string& path);
    // The red, green and blue of the pixel in column x of row y counted from the top.
    const std::uint8_t* FromTop(std::uint32_t x, std::uint32_t y) const {
        return &rgba[(static_cast<std::size_t>(height - 1 - y) * width + x) * 4];
    }
};
