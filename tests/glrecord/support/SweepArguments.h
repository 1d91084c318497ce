// The harmless arguments of the call of every interceptor: small distinct values, and pointers into
// regions of patterned memory, one region per argument position. The program that makes the calls
// and the test that checks their records derive the same bytes from the same shape.
#pragma once
#include <cstdint>
#include <vector>

#include "tests/glrecord/support/CallShapes.h"

namespace sweep {

constexpr std::uint32_t kRegionBytes = 0x10000;  // far more than any block the arguments can size
constexpr std::uint32_t kMaxArguments = 32;
constexpr std::uint32_t kAreaBytes = kRegionBytes * kMaxArguments;

// Every region holds 15-character strings, so that any string argument is short and terminated.
constexpr std::uint8_t RegionByte(std::uint32_t position, std::uint32_t offset) {
    return offset % 16 == 15 ? 0 : static_cast<std::uint8_t>('A' + (position + offset % 16) % 26);
}

// The argument bytes of a call, pointers into the area at base.
std::vector<std::uint8_t> Arguments(const CallShape& shape, std::uint32_t base);
// The arguments of a call of a hand-written recorder: the same, except that a function that reads
// pointers or terminated lists through its pointers gets pointers into zeroed memory at zeroBase
// (empty lists, null strings) in place of the patterned regions.
std::vector<std::uint8_t> HandWrittenArguments(const CallShape& shape, std::uint32_t base, std::uint32_t zeroBase);
// Where each argument starts among them.
std::vector<std::uint32_t> StackOffsets(const CallShape& shape);

}  // namespace sweep
