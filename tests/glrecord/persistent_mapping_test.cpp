// Persistent mappings' shadows: the runs an application's writes make, that only changed bytes are
// recorded and copied to the real mapping, and that what the GL wrote reaches the shadow without
// undoing what the application wrote since.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "glrecord/PersistentMapping.h"
#include "glrecord/PersistentMappings.h"

using kestrel::DiffRuns;
using kestrel::PersistentMapping;
using kestrel::PersistentMappings;
using kestrel::WrittenRun;

namespace {

std::vector<std::pair<std::uint32_t, std::uint32_t>> Pairs(const std::vector<WrittenRun>& runs) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
    for (const WrittenRun& r : runs) out.emplace_back(r.offset, r.length);
    return out;
}

using Runs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

}  // namespace

TEST(PersistentMapping, DiffRunsFindsChangedBytesAndJoinsCloseRuns) {
    const struct {
        const char* name;
        std::vector<std::uint32_t> changed;  // byte offsets changed in a 256-byte block
        Runs runs;
    } cases[] = {
        {"nothing", {}, {}},
        {"one byte", {77}, {{77, 1}}},
        {"the first and the last byte", {0, 255}, {{0, 1}, {255, 1}}},
        {"two bytes 16 apart join", {10, 27}, {{10, 18}}},
        {"two bytes 17 apart stay apart", {10, 28}, {{10, 1}, {28, 1}}},
        {"a word's high byte ends the run", {8, 15}, {{8, 8}}},
        {"a block across 64-byte blocks", {60, 61, 62, 63, 64, 65, 66}, {{60, 7}}},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> before(256, 0x5A), now = before;
        for (std::uint32_t at : c.changed) now[at] ^= 0xFF;
        std::vector<WrittenRun> runs;
        DiffRuns(now.data(), before.data(), 0, 256, PersistentMapping::kMergeGap, runs);
        EXPECT_EQ(Pairs(runs), c.runs) << c.name;
    }
}

TEST(PersistentMapping, DiffRunsJoinsTheLastRunOfThePageBefore) {
    std::vector<std::uint8_t> before(8192, 0), now = before;
    now[4090] = 1;
    now[4100] = 1;
    std::vector<WrittenRun> runs;
    DiffRuns(now.data(), before.data(), 0, 4096, PersistentMapping::kMergeGap, runs);
    DiffRuns(now.data(), before.data(), 4096, 8192, PersistentMapping::kMergeGap, runs);
    EXPECT_EQ(Pairs(runs), (Runs{{4090, 11}}));
}

TEST(PersistentMapping, OnlyTheChangedBytesOfWrittenPagesReachTheRealMapping) {
    constexpr std::uint32_t kSize = 64 * 1024;
    std::vector<std::uint8_t> real(kSize);
    for (std::uint32_t i = 0; i < kSize; ++i) real[i] = static_cast<std::uint8_t>(i * 7);
    PersistentMappings mappings;
    const int owner = 0;
    std::uint8_t* shadow = mappings.Add(&owner, 5, 4096, kSize, real.data(), false);
    ASSERT_NE(shadow, nullptr);
    EXPECT_FALSE(mappings.empty());
    EXPECT_EQ(std::memcmp(shadow, real.data(), kSize), 0) << "the shadow starts as the mapping";
    PersistentMapping* mapping = mappings.Find(&owner, 5);
    ASSERT_NE(mapping, nullptr);
    EXPECT_TRUE(mapping->TakeWrites().empty()) << "filling the shadow is not a write";

    shadow[40000] = static_cast<std::uint8_t>(shadow[40000] + 1);
    shadow[100] = shadow[100];  // written, unchanged
    std::memset(shadow + 8190, 0xEE, 4);  // across a page boundary
    const std::vector<WrittenRun> runs = mapping->TakeWrites();
    ASSERT_EQ(Pairs(runs), (Runs{{8190, 4}, {40000, 1}}));
    EXPECT_EQ(real[40000], shadow[40000]);
    EXPECT_EQ(real[8191], 0xEE);
    EXPECT_EQ(mapping->copy()[8190], 0xEE) << "the record's bytes";
    EXPECT_TRUE(mapping->TakeWrites().empty()) << "the watch was reset";

    mappings.Remove(&owner, 5);
    EXPECT_TRUE(mappings.empty());
}

TEST(PersistentMapping, WhatTheGLWroteReachesAReadableShadowUnlessTheApplicationWroteIt) {
    constexpr std::uint32_t kSize = 8192;
    std::vector<std::uint8_t> real(kSize, 1);
    PersistentMappings mappings;
    const int owner = 0;
    std::uint8_t* readable = mappings.Add(&owner, 1, 0, kSize, real.data(), true);
    ASSERT_NE(readable, nullptr);
    PersistentMapping* mapping = mappings.Find(&owner, 1);

    real[10] = 9;      // the GL's write
    real[20] = 9;      // the GL's write where the application wrote since
    readable[20] = 4;  // the application's
    EXPECT_EQ(mapping->CopyBack(), 1u);
    EXPECT_EQ(readable[10], 9);
    EXPECT_EQ(readable[20], 4);
    // The application's byte reaches the GL at the next point, the GL's is not sent back to it.
    EXPECT_EQ(Pairs(mapping->TakeWrites()), (Runs{{20, 1}}));
    EXPECT_EQ(real[20], 4);

    std::vector<std::uint8_t> other(kSize, 1);
    std::uint8_t* writeOnly = mappings.Add(&owner, 2, 0, kSize, other.data(), false);
    ASSERT_NE(writeOnly, nullptr);
    other[0] = 9;
    EXPECT_EQ(mappings.Find(&owner, 2)->CopyBack(), 0u) << "a mapping without read access is not read back";
    EXPECT_EQ(writeOnly[0], 1);
}
