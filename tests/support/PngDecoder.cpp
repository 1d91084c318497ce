#include "tests/support/PngDecoder.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::uint32_t BigEndian(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// Undoes the filter of every row in place; false on an unknown filter type.
bool Unfilter(std::vector<std::uint8_t>& data, std::uint32_t rowBytes, std::uint32_t height, std::uint32_t pixelBytes) {
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* row = &data[static_cast<std::size_t>(y) * (rowBytes + 1)];
        const std::uint8_t* above = y > 0 ? row - (rowBytes + 1) + 1 : nullptr;
        const std::uint8_t type = row[0];
        std::uint8_t* px = row + 1;
        for (std::uint32_t i = 0; i < rowBytes; ++i) {
            const int a = i >= pixelBytes ? px[i - pixelBytes] : 0;
            const int b = above ? above[i] : 0;
            const int c = above && i >= pixelBytes ? above[i - pixelBytes] : 0;
            int add = 0;
            switch (type) {
                case 0: add = 0; break;
                case 1: add = a; break;
                case 2: add = b; break;
                case 3: add = (a + b) / 2; break;
                case 4: add = Paeth(a, b, c); break;
                default: return false;
            }
            px[i] = static_cast<std::uint8_t>(px[i] + add);
        }
    }
    return true;
}

}  // namespace

DecodedPng DecodePng(const std::string& path) {
    DecodedPng png;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        png.error = "cannot open " + path;
        return png;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t block[65536];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) bytes.insert(bytes.end(), block, block + n);
    std::fclose(file);

    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0) {
        png.error = "no PNG signature";
        return png;
    }
    std::vector<std::uint8_t> compressed;
    std::uint32_t pixelBytes = 0;
    bool header = false, end = false;
    for (std::size_t at = 8; at < bytes.size() && !end;) {
        if (bytes.size() - at < 12) {
            png.error = "truncated chunk";
            return png;
        }
        const std::uint32_t length = BigEndian(&bytes[at]);
        if (length > bytes.size() - at - 12) {
            png.error = "chunk longer than the file";
            return png;
        }
        const std::uint8_t* type = &bytes[at + 4];
        const std::uint8_t* data = &bytes[at + 8];
        const uLong crc = crc32(crc32(0, nullptr, 0), type, length + 4);
        if (crc != BigEndian(data + length)) {
            png.error = "bad CRC in chunk " + std::string(reinterpret_cast<const char*>(type), 4);
            return png;
        }
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (length != 13) {
                png.error = "IHDR of the wrong length";
                return png;
            }
            png.width = BigEndian(data);
            png.height = BigEndian(data + 4);
            const std::uint8_t depth = data[8], colour = data[9], interlace = data[12];
            if (depth != 8 || (colour != 2 && colour != 6) || interlace != 0) {
                png.error = "not an 8-bit non-interlaced RGB or RGBA image";
                return png;
            }
            pixelBytes = colour == 2 ? 3 : 4;
            header = true;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            compressed.insert(compressed.end(), data, data + length);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            end = true;
        }
        at += 12 + length;
    }
    if (!header || !end || png.width == 0 || png.height == 0) {
        png.error = "IHDR or IEND missing";
        return png;
    }
    const std::uint32_t rowBytes = png.width * pixelBytes;
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(rowBytes + 1) * png.height);
    uLongf rawSize = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &rawSize, compressed.data(), static_cast<uLong>(compressed.size())) != Z_OK ||
        rawSize != raw.size()) {
        png.error = "image data does not inflate to the image's size";
        return png;
    }
    if (!Unfilter(raw, rowBytes, png.height, pixelBytes)) {
        png.error = "unknown row filter";
        return png;
    }
    png.rgb.resize(static_cast<std::size_t>(png.width) * png.height * 3);
    for (std::uint32_t y = 0; y < png.height; ++y)
        for (std::uint32_t x = 0; x < png.width; ++x)
            std::memcpy(&png.rgb[(static_cast<std::size_t>(y) * png.width + x) * 3],
                        &raw[static_cast<std::size_t>(y) * (rowBytes + 1) + 1 + x * pixelBytes], 3);
    return png;
}
