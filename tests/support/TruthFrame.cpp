#include "tests/support/TruthFrame.h"

#include <cstdio>

bool TruthFrame::Write(const std::string& path) const {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const std::uint32_t size[2] = {width, height};
    const bool written = std::fwrite(size, sizeof size, 1, file) == 1 &&
                         std::fwrite(rgba.data(), 1, rgba.size(), file) == rgba.size();
    return std::fclose(file) == 0 && written;
}

bool TruthFrame::Read(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::uint32_t size[2] = {};
    bool read = std::fread(size, sizeof size, 1, file) == 1 && size[0] > 0 && size[1] > 0 && size[0] < 65536 &&
                size[1] < 65536;
    if (read) {
        width = size[0];
        height = size[1];
        rgba.resize(static_cast<std::size_t>(width) * height * 4);
        read = std::fread(rgba.data(), 1, rgba.size(), file) == rgba.size();
    }
    std::fclose(file);
    return read;
}
