// The raw bytes of a data block under its record's line, 32 to a line, up to a limit.
#pragma once
#include <cstdint>

#include "controller/reading/TextOutput.h"

namespace kestrel {

class HexLines {
public:
    static constexpr unsigned kBytesPerLine = 32;
    // `available` bytes are at hand out of a block of `total`; at most `limit` of them are shown.
    static void Append(TextOutput& out, const std::uint8_t* bytes, std::uint64_t available, std::uint64_t total,
                       std::uint64_t limit);
};

}  // namespace kestrel
