// The per-context recording state and the index and memory arithmetic of the draw recorders, without
// a GL: index scans, vertex ranges, the readable prefix of client memory, descriptor tables, variant
// slots and the bound-buffer flags across vertex array objects.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "glrecord/ContextState.h"
#include "glrecord/IndexRange.h"

using kestrel::ContextLimits;
using kestrel::ContextState;

namespace {

TEST(IndexScan, FindsSmallestAndLargestOfEachTypeAndSkipsRestarts) {
    const std::uint8_t bytes[] = {7, 3, 9, 255};
    const std::uint16_t shorts[] = {7, 3, 9, 0xFFFF, 2};
    const std::uint32_t words[] = {70000, 5, 0xFFFFFFFFu, 12};
    struct Case {
        const char* what;
        const void* indices;
        std::uint32_t count, type;
        bool restart;
        std::uint32_t restartIndex;
        bool any;
        std::uint32_t minimum, maximum;
    } cases[] = {
        {"unsigned bytes", bytes, 3, 0x1401, false, 0, true, 3, 9},
        {"unsigned bytes up to 255", bytes, 4, 0x1401, false, 0, true, 3, 255},
        {"unsigned shorts", shorts, 3, 0x1403, false, 0, true, 3, 9},
        {"shorts with the restart index skipped", shorts, 5, 0x1403, true, 0xFFFF, true, 2, 9},
        {"shorts whose restart index is not enabled", shorts, 5, 0x1403, false, 0xFFFF, true, 2, 0xFFFF},
        {"unsigned ints", words, 2, 0x1405, false, 0, true, 5, 70000},
        {"unsigned ints with restart", words, 4, 0x1405, true, 0xFFFFFFFFu, true, 5, 70000},
        {"a type outside the three", shorts, 3, 0x1406, false, 0, false, 0, 0},
        {"a null pointer", nullptr, 3, 0x1403, false, 0, false, 0, 0},
        {"no index", shorts, 0, 0x1403, false, 0, false, 65535, 0},
        {"only restarts", shorts + 3, 1, 0x1403, true, 0xFFFF, false, 65535, 0},
    };
    for (const Case& c : cases) {
        const kestrel::IndexScan scan = kestrel::ScanIndices(c.indices, c.count, c.type, c.restart, c.restartIndex);
        EXPECT_EQ(scan.any, c.any) << c.what;
        EXPECT_EQ(scan.minimum, c.minimum) << c.what;
        EXPECT_EQ(scan.maximum, c.maximum) << c.what;
    }
}

TEST(IndexScan, ReadsUnalignedIndices) {
    std::uint8_t storage[9] = {};
    const std::uint16_t values[4] = {40, 12, 13, 41};
    std::memcpy(storage + 1, values, sizeof values);
    const kestrel::IndexScan scan = kestrel::ScanIndices(storage + 1, 4, 0x1403, false, 0);
    EXPECT_EQ(scan.minimum, 12u);
    EXPECT_EQ(scan.maximum, 41u);
}

TEST(VertexRange, IsTheScannedSpanShiftedByTheBaseVertex) {
    const kestrel::IndexScan scan{3, 9, true};
    EXPECT_EQ(kestrel::RangeOf(scan).first, 3u);
    EXPECT_EQ(kestrel::RangeOf(scan).count, 7u);
    EXPECT_EQ(kestrel::RangeOf(scan, 100).first, 103u);
    EXPECT_EQ(kestrel::RangeOf(scan, 100).count, 7u);
    EXPECT_EQ(kestrel::RangeOf(kestrel::IndexScan{65535, 0, false}).count, 0u) << "no index reaches no vertex";
}

// A probe that answers as memory readable up to a boundary would, and counts its questions.
std::uint32_t g_boundary = 0;
int g_probes = 0;
bool ReadableUpTo(const void*, std::uint32_t bytes) {
    ++g_probes;
    return bytes <= g_boundary;
}

TEST(ReadablePrefix, FindsExactlyTheReadableBytesForEveryBoundary) {
    for (std::uint32_t length = 1; length <= 300; ++length) {
        for (std::uint32_t boundary = 0; boundary <= length; ++boundary) {
            g_boundary = boundary;
            g_probes = 0;
            ASSERT_EQ(kestrel::ReadablePrefix(reinterpret_cast<const void*>(0x1000), length, ReadableUpTo), boundary)
                << length << " bytes readable up to " << boundary;
            ASSERT_LT(g_probes, 40) << length << " bytes readable up to " << boundary;
        }
    }
    g_boundary = 4096 * 3 + 17;
    EXPECT_EQ(kestrel::ReadablePrefix(reinterpret_cast<const void*>(0x1000), 1u << 20, ReadableUpTo), g_boundary);
}

// The page after a readable one cannot be read: the prefix stops at it, and the probe leaves the
// page as it was (a guard page keeps its guard, which a stack's growth depends on).
TEST(ReadablePrefix, StopsAtAnUnreadablePageAndLeavesItAsItWas) {
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const DWORD page = system.dwPageSize;
    for (const DWORD protection : {DWORD{PAGE_NOACCESS}, DWORD{PAGE_READWRITE | PAGE_GUARD}}) {
        SCOPED_TRACE(protection);
        auto* pages = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 2 * page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        ASSERT_NE(pages, nullptr);
        DWORD old = 0;
        ASSERT_TRUE(VirtualProtect(pages + page, page, protection, &old));
        const std::uint8_t* start = pages + page - 100;
        EXPECT_TRUE(kestrel::SystemReadable(start, 100));
        EXPECT_FALSE(kestrel::SystemReadable(start, 101));
        EXPECT_EQ(kestrel::ReadablePrefix(start, 100, kestrel::SystemReadable), 100u);
        EXPECT_EQ(kestrel::ReadablePrefix(start, 5000, kestrel::SystemReadable), 100u);
        EXPECT_EQ(kestrel::ReadablePrefix(pages + page, 64, kestrel::SystemReadable), 0u);
        MEMORY_BASIC_INFORMATION region{};
        ASSERT_EQ(VirtualQuery(pages + page, &region, sizeof region), sizeof region);
        EXPECT_EQ(region.Protect, protection);
        VirtualFree(pages, 0, MEM_RELEASE);
    }
}

TEST(ContextState, TablesAreSizedFromTheLimitsAtInitialisation) {
    struct Case {
        ContextLimits limits;
        std::size_t units, attributes, variants, variantWords;
    } cases[] = {
        {{8, 16, 0, 45}, 8, 16, 0, 0},
        {{0, 0, 0, 0}, 1, 0, 0, 0},    // no unit count: still one texture unit
        {{-1, -5, -2, 0}, 1, 0, 0, 0},
        {{4, 4, 32, 0}, 4, 4, 32, 1},
        {{4, 4, 33, 0}, 4, 4, 33, 2},
    };
    for (const Case& c : cases) {
        ContextState state;
        EXPECT_FALSE(state.initialised());
        state.Initialise(c.limits);
        EXPECT_TRUE(state.initialised());
        EXPECT_EQ(state.texCoords.size(), c.units);
        EXPECT_EQ(state.attributes.size(), c.attributes);
        EXPECT_EQ(state.variants.size(), c.variants);
        EXPECT_EQ(state.variantIds.size(), c.variants);
        EXPECT_EQ(state.variantInUse.size(), c.variantWords);
        EXPECT_EQ(state.glVersion, c.limits.version);
        EXPECT_EQ(state.TexCoord(static_cast<std::uint32_t>(c.units)), nullptr) << "a unit past the table";
        EXPECT_EQ(state.Attribute(static_cast<std::uint32_t>(c.attributes)), nullptr) << "an index past the table";
    }
}

TEST(ContextState, DescriptorTakesTheElementSizeAsStrideBelowOne) {
    kestrel::ArrayDescriptor array;
    array.Set(0, 0x1000, 12, 0x1406, 0);
    EXPECT_EQ(array.stride, 12u);
    array.Set(0, 0x1000, 12, 0x1406, -4);
    EXPECT_EQ(array.stride, 12u);
    array.Set(1, 0x20, 12, 0x1406, 16);
    EXPECT_EQ(array.stride, 16u);
    EXPECT_EQ(array.buffer, 1u);
    EXPECT_EQ(array.pointer, 0x20u);
}

TEST(ContextState, VariantsTakeTheHighestFreeSlotAndKeepIt) {
    ContextState state;
    state.Initialise({1, 0, 3, 0});
    EXPECT_EQ(state.VariantSlot(50), 2);
    EXPECT_EQ(state.VariantSlot(60), 1);
    EXPECT_EQ(state.VariantSlot(50), 2) << "a variant keeps its slot";
    EXPECT_EQ(state.VariantSlot(70), 0);
    EXPECT_EQ(state.VariantSlot(80), -1) << "every slot is in use";
    EXPECT_TRUE(state.VariantInUse(0) && state.VariantInUse(1) && state.VariantInUse(2));
    ContextState none;
    none.Initialise({1, 0, 0, 0});
    EXPECT_EQ(none.VariantSlot(1), -1);
}

TEST(ContextState, BoundBufferFlagsFollowBindsAndTheElementBufferBelongsToTheVertexArray) {
    ContextState state;
    state.Initialise({1, 1, 0, 0});
    const std::uint32_t targets[] = {0x8892, 0x8893, 0x8F3F, 0x88EB, 0x88EC};
    std::uint32_t* flags[] = {&state.arrayBufferBound, &state.elementBufferBound, &state.drawIndirectBufferBound,
                              &state.pixelPackBufferBound, &state.pixelUnpackBufferBound};
    for (int i = 0; i < 5; ++i) {
        state.BindBuffer(targets[i], 9);
        EXPECT_EQ(*flags[i], 1u) << std::hex << targets[i];
        state.BindBuffer(targets[i], 0);
        EXPECT_EQ(*flags[i], 0u) << std::hex << targets[i];
    }
    state.BindBuffer(0x8A11, 3);  // a target without a flag changes none
    for (std::uint32_t* flag : flags) EXPECT_EQ(*flag, 0u);

    state.ResetVertexArray(5);
    state.BindVertexArray(5);
    state.BindBuffer(0x8893, 4);
    state.BindBuffer(0x8892, 2);
    EXPECT_EQ(state.vertexArrays[5].elementBuffer, 1u);
    EXPECT_EQ(state.vertexArrays[5].arrayBuffer, 1u);
    state.BindVertexArray(0);
    EXPECT_EQ(state.elementBufferBound, 0u) << "the default object has no element buffer";
    EXPECT_EQ(state.arrayBufferBound, 1u) << "the array buffer binding is not the object's";
    state.BindVertexArray(5);
    EXPECT_EQ(state.elementBufferBound, 1u) << "binding the object back brings its element buffer";
    state.ResetVertexArray(5);
    state.BindVertexArray(5);
    EXPECT_EQ(state.elementBufferBound, 0u) << "a name generated anew starts without one";
}

}  // namespace
