// Where the fields of a recorded call sit in a capture of either width. The generated description
// gives a 32-bit capture's offsets and marks the pointer-sized fields; in a 64-bit capture each of
// those is 8 bytes wide and moves every field after it by 4.
#pragma once
#include <cstdint>

#include "gen/ApiDescription.h"

namespace kestrel {

struct FieldPlace {
    std::uint32_t offset;
    std::uint32_t width;  // bytes of one value
};

FieldPlace PlaceOf(const description::ApiDescription& api, unsigned field, std::uint32_t pointerBits);
std::uint32_t FixedSizeOf(const description::ApiDescription& api, std::uint32_t pointerBits);

}  // namespace kestrel
