// Head of every record in a statistics data block; the body follows it.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kestrel {

// Body: u32 pair count n, then n {u32 client array address, u32 largest extent read} pairs, keys ascending.
constexpr std::uint32_t kStatsExtentsRecordId = 107;

#pragma pack(push, 1)
struct StatsRecordHead {
    std::uint32_t recordId;
    std::uint32_t bodySize;
    std::uint64_t time;  // QueryPerformanceCounter at writing
};

struct StatsExtentPair {
    std::uint32_t address;
    std::uint32_t extent;
};
#pragma pack(pop)

static_assert(offsetof(StatsRecordHead, recordId) == 0);
static_assert(offsetof(StatsRecordHead, bodySize) == 4);
static_assert(offsetof(StatsRecordHead, time) == 8);
static_assert(sizeof(StatsRecordHead) == 16);
static_assert(sizeof(StatsExtentPair) == 8);

}  // namespace kestrel
