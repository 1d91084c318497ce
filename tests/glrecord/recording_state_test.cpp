// The per-context recording state and the index and memory arithmetic of the draw recorders, without
// a GL: index scans, vertex ranges, the readable prefix of client memory, descriptor tables, variant
// slots and the bound-buffer flags across vertex array objects.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "glrecord/ContextState.h"
#include "glrecord/IndexRange.h"
#include "glrecord/SymbolTypes.h"

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
        std::int32_t version;
        std::size_t units, attributes, variants, variantWords;
    } cases[] = {
        {{8, 16, 0}, 45, 8, 16, 0, 0},
        {{0, 0, 0}, 0, 1, 0, 0, 0},    // no unit count: still one texture unit
        {{-1, -5, -2}, 0, 1, 0, 0, 0},
        {{4, 4, 32}, 21, 4, 4, 32, 1},
        {{4, 4, 33}, 21, 4, 4, 33, 2},
    };
    for (const Case& c : cases) {
        ContextState state;
        EXPECT_FALSE(state.initialised());
        kestrel::ContextFeatures features;
        features.version = c.version;
        state.Initialise(c.limits, features);
        EXPECT_TRUE(state.initialised());
        EXPECT_EQ(state.texCoords.size(), c.units);
        EXPECT_EQ(state.attributes.size(), c.attributes);
        EXPECT_EQ(state.variants.size(), c.variants);
        EXPECT_EQ(state.variantIds.size(), c.variants);
        EXPECT_EQ(state.variantInUse.size(), c.variantWords);
        EXPECT_EQ(state.features.version, c.version);
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
    state.Initialise({1, 0, 3}, {});
    EXPECT_EQ(state.VariantSlot(50), 2);
    EXPECT_EQ(state.VariantSlot(60), 1);
    EXPECT_EQ(state.VariantSlot(50), 2) << "a variant keeps its slot";
    EXPECT_EQ(state.VariantSlot(70), 0);
    EXPECT_EQ(state.VariantSlot(80), -1) << "every slot is in use";
    EXPECT_TRUE(state.VariantInUse(0) && state.VariantInUse(1) && state.VariantInUse(2));
    ContextState none;
    none.Initialise({1, 0, 0}, {});
    EXPECT_EQ(none.VariantSlot(1), -1);
}

TEST(ContextState, ElementFlagBelongsToTheVertexArrayAndArrayFlagToTheContext) {
    ContextState state;
    state.Initialise({1, 1, 0}, {});
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

    // Each object's element flag, and the context's own under name 0, comes back when it is bound;
    // the array-buffer binding is the context's and stays across every object bind.
    state.BindBuffer(0x8892, 7);  // the context's own array buffer
    state.ResetVertexArray(5);
    state.BindVertexArray(5);
    EXPECT_EQ(state.arrayBufferBound, 1u) << "a new object keeps the context's array buffer";
    EXPECT_EQ(state.elementBufferBound, 0u);
    state.BindBuffer(0x8893, 4);
    state.BindBuffer(0x8892, 2);
    EXPECT_EQ(state.vertexArrays[5].elementBuffer, 1u);
    EXPECT_EQ(state.vertexArrays[5].arrayBuffer, 1u);
    state.BindVertexArray(0);
    EXPECT_EQ(state.elementBufferBound, 0u) << "the default object has no element buffer";
    EXPECT_EQ(state.arrayBufferBound, 1u) << "the array buffer bound last";
    // The element flag cleared while another object is current: binding object 5 back must not take
    // that, or its next indexed draw would read a buffer offset as an address.
    state.ResetVertexArray(6);
    state.BindVertexArray(6);
    state.BindBuffer(0x8893, 0);
    state.BindBuffer(0x8892, 0);
    state.BindVertexArray(5);
    EXPECT_EQ(state.elementBufferBound, 1u) << "binding the object back brings its element buffer";
    EXPECT_EQ(state.arrayBufferBound, 0u) << "but not the array buffer it once saw: that one was unbound since";
    state.BindBuffer(0x8892, 3);
    state.ResetVertexArray(5);
    state.BindVertexArray(5);
    EXPECT_EQ(state.elementBufferBound, 0u) << "a name generated anew starts without one";
    EXPECT_EQ(state.arrayBufferBound, 1u) << "buffer 3 is still the context's array buffer";
    state.BindVertexArray(0);
    EXPECT_EQ(state.arrayBufferBound, 1u);
}

// What a context is asked rests on its version, profile and extensions: a query it does not know
// would raise an error in the application's queue.
TEST(ContextFeatures, ComeFromTheVersionProfileAndExtensions) {
    struct Case {
        const char* version;
        bool core, forwardCompatible;
        const char* extensions;
        std::int32_t number;
        bool fixedFunction, bufferObjects, pixelBuffers, framebufferObjects, drawIndirect, bufferStorage;
    } cases[] = {
        {"4.5 (Compatibility Profile) Mesa 22.3.6", false, false, "", 45, true, true, true, true, true, true},
        {"4.5 (Core Profile) Mesa 22.3.6", true, false, "", 45, false, true, true, true, true, true},
        {"3.1 Mesa", false, false, "", 31, false, true, true, true, false, false},
        {"3.1 Mesa", false, false, "GL_ARB_compatibility", 31, true, true, true, true, false, false},
        {"3.0", false, true, "", 30, false, true, true, true, false, false},
        {"2.1 Mesa", false, false, "GL_EXT_framebuffer_blit", 21, true, true, true, true, false, false},
        {"1.4", false, false, "GL_ARB_vertex_buffer_object GL_EXT_pixel_buffer_object", 14, true, true, true, false,
         false, false},
        {"1.1", false, false, "GL_ARB_vertex_buffer_objectX", 11, true, false, false, false, false, false},
        {"", false, false, "", 0, true, false, false, false, false, false},
        {"OpenGL", false, false, "", 0, true, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version) + " / " + c.extensions);
        std::vector<std::string_view> extensions;
        for (std::string_view rest = c.extensions; !rest.empty();) {
            const std::size_t space = rest.find(' ');
            extensions.push_back(rest.substr(0, space));
            if (space == std::string_view::npos) break;
            rest.remove_prefix(space + 1);
        }
        const kestrel::ContextFeatures f =
            kestrel::ContextFeatures::From(c.version, c.core, c.forwardCompatible, extensions);
        EXPECT_EQ(f.version, c.number);
        EXPECT_EQ(f.fixedFunction, c.fixedFunction);
        EXPECT_EQ(f.bufferObjects, c.bufferObjects);
        EXPECT_EQ(f.pixelBuffers, c.pixelBuffers);
        EXPECT_EQ(f.framebufferObjects, c.framebufferObjects);
        EXPECT_EQ(f.drawIndirect, c.drawIndirect);
        EXPECT_EQ(f.bufferStorage, c.bufferStorage);
    }
}

// Symbol ids are kept as the ranges they were generated in, whatever the range's size.
TEST(SymbolTypes, RangesOfAnySizeTakeOneEntryAndLaterOnesWin) {
    kestrel::SymbolTypes types;
    types.Set(1, 0x7FFFFFFF, 0x87BF);  // a range the application chose: two billion ids
    EXPECT_EQ(types.ranges(), 1u);
    EXPECT_EQ(types.Find(1), 0x87BFu);
    EXPECT_EQ(types.Find(0x7FFFFFFF), 0x87BFu);
    EXPECT_EQ(types.Find(0x80000000), 0u);
    EXPECT_EQ(types.Find(0), 0u);
    types.Set(100, 10, 0x87C0);  // named again inside the first range
    EXPECT_EQ(types.Find(99), 0x87BFu);
    EXPECT_EQ(types.Find(100), 0x87C0u);
    EXPECT_EQ(types.Find(109), 0x87C0u);
    EXPECT_EQ(types.Find(110), 0x87BFu);
    EXPECT_EQ(types.ranges(), 3u);
    types.Set(50, 100, 0x87BE);  // over the middle range and parts of its neighbours
    EXPECT_EQ(types.Find(49), 0x87BFu);
    EXPECT_EQ(types.Find(100), 0x87BEu);
    EXPECT_EQ(types.Find(149), 0x87BEu);
    EXPECT_EQ(types.Find(150), 0x87BFu);
    types.Set(0xFFFFFFF0, 0x20, 0x87BE);  // past 32 bits: names nothing
    EXPECT_EQ(types.Find(0xFFFFFFF8), 0u);
    types.Set(0xFFFFFFF0, 0x10, 0x87BE);  // up to the last id
    EXPECT_EQ(types.Find(0xFFFFFFFF), 0x87BEu);
}

}  // namespace
