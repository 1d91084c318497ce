// An image held as 4-byte pixels (blue, green, red, fourth byte ignored) that can be written to and
// read from a file named from a prefix and an index.
#pragma once
#include <cstdint>

namespace kestrel {

class BaseImageInterface {
public:
    BaseImageInterface(std::uint32_t width, std::uint32_t height) : width(width), height(height) {}
    virtual ~BaseImageInterface();
    BaseImageInterface(const BaseImageInterface&) = delete;
    BaseImageInterface& operator=(const BaseImageInterface&) = delete;

    // Both name the file prefix + "%.4d" + extension, or prefix + "%.4d_%d" + extension when
    // subIndex >= 0. Results: 0 done, 2 file not created or opened, 3 short write, 4 codec failure.
    virtual std::uint32_t load(const char* prefix, int index, int subIndex) = 0;
    virtual std::uint32_t save(const char* prefix, int index, int subIndex) = 0;

    // Points the image at pixels it does not own; negative stride for rows stored bottom-up.
    void Attach(std::uint8_t* top, std::int64_t rowStride);

    std::uint8_t* pixels = nullptr;
    std::uint32_t ownsPixels = 0;  // nonzero: freed with the object
    std::int64_t stride = 0;       // bytes from one row to the next
    std::uint32_t width = 0;
    std::uint32_t height = 0;

protected:
    void FreePixels();
};

}  // namespace kestrel
