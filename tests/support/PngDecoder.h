// Reads a PNG file without libpng: the chunks with their CRCs, zlib's inflate and the row filters, so
// that what the recorder's PNG writer produced is checked by code that shares nothing with it.
// Takes the 8-bit, non-interlaced RGB and RGBA images that the writer can produce.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct DecodedPng {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> rgb;  // 3 bytes per pixel, top row first
    std::string error;              // empty when the file was read
};

DecodedPng DecodePng(const std::string& path);
