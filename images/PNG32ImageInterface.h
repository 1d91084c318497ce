// A BaseImageInterface kept in PNG files: written as 8-bit RGB without the fourth byte, read back
// from any PNG into owned 4-byte pixels.
#pragma once
#include "images/BaseImageInterface.h"

namespace kestrel {

class PNG32ImageInterface final : public BaseImageInterface {
public:
    PNG32ImageInterface(std::uint32_t width, std::uint32_t height) : BaseImageInterface(width, height) {}

    // Replaces size and pixels with the file's; on failure the image is left as it was.
    std::uint32_t load(const char* prefix, int index, int subIndex) override;
    std::uint32_t save(const char* prefix, int index, int subIndex) override;
    // save's work for a file named in full.
    std::uint32_t SaveFile(const char* name);
};

}  // namespace kestrel
