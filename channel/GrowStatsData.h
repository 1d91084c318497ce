// Session channel request 7: the statistics data block is too small (reply: Status).
#pragma once
#include <cstddef>
#include <cstdint>

#include "channel/MessageCode.h"

namespace kestrel {

#pragma pack(push, 1)
struct GrowStatsData {
    std::uint8_t code = kCodeGrowStatsData;
    std::uint8_t padding1[3] = {};
    std::uint32_t bytesNeeded = 0;
};
#pragma pack(pop)

static_assert(offsetof(GrowStatsData, code) == 0);
static_assert(offsetof(GrowStatsData, bytesNeeded) == 4);
static_assert(sizeof(GrowStatsData) == 8);

}  // namespace kestrel
