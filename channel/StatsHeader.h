// Layout of the statistics header block "<base name>_RDStats".
#pragma once
#include <cstddef>
#include <cstdint>

namespace kestrel {

#pragma pack(push, 1)
struct StatsHeader {
    static constexpr std::uint32_t kNameSize = 260;

    std::uint32_t lock;  // 0 free, 1 held
    std::uint32_t frame;
    std::uint32_t calls;
    std::uint32_t counter12;
    char dataName[kNameSize];  // the current statistics data block
    std::uint32_t dataUsed;
    std::uint32_t dataCapacity;
    std::uint32_t reserved284;
    std::uint32_t counter288;
    std::uint32_t counter292;
    std::uint8_t status;
    std::uint8_t padding297[7];
};
#pragma pack(pop)

static_assert(offsetof(StatsHeader, lock) == 0);
static_assert(offsetof(StatsHeader, frame) == 4);
static_assert(offsetof(StatsHeader, calls) == 8);
static_assert(offsetof(StatsHeader, counter12) == 12);
static_assert(offsetof(StatsHeader, dataName) == 16);
static_assert(offsetof(StatsHeader, dataUsed) == 276);
static_assert(offsetof(StatsHeader, dataCapacity) == 280);
static_assert(offsetof(StatsHeader, reserved284) == 284);
static_assert(offsetof(StatsHeader, counter288) == 288);
static_assert(offsetof(StatsHeader, counter292) == 292);
static_assert(offsetof(StatsHeader, status) == 296);
static_assert(sizeof(StatsHeader) == 304);

}  // namespace kestrel
