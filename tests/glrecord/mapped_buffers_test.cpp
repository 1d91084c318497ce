// The mapped-buffer tables: which mappings an unmap reads, how many bytes, and that no mapping is
// read twice.
#include <gtest/gtest.h>

#include <cstdint>

#include "glrecord/ContextState.h"
#include "glrecord/MappedBuffers.h"

using kestrel::MappedBufferTable;
using kestrel::MappingEntry;

namespace {

MappingEntry Mapping(std::uint32_t pointer, std::uint32_t writable, std::uint32_t size, std::uint32_t offset = 0,
                     std::uint32_t length = 0) {
    MappingEntry e;
    e.mapped = pointer != 0;
    e.pointer = pointer;
    e.writable = writable;
    e.size = size;
    e.offset = offset;
    e.length = length;
    return e;
}

std::uint32_t Address(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

}  // namespace

TEST(MappedBuffers, EveryMappableTargetHasAGroup) {
    const struct {
        std::uint32_t target;
        int group;
    } cases[] = {{0x8892, 0},  {0x8893, 1},  {0x88EB, 2},  {0x88EC, 3},  {0x8A11, 4},  {0x8DEE, 4},
                 {0x8C2A, 5},  {0x8F3F, 6},  {0x8F36, 7},  {0x8F37, 8},  {0x90D2, 9},  {0x8C8E, 10},
                 {0x92C0, 11}, {0x9192, 12}, {0x90EE, 13}, {0x8C2C, -1}, {0, -1}};
    for (const auto& c : cases) EXPECT_EQ(MappedBufferTable::Group(c.target), c.group) << std::hex << c.target;
}

TEST(MappedBuffers, AnUnmapReadsTheRangeOrTheWholeBufferOnce) {
    const struct {
        const char* name;
        MappingEntry entry;
        std::uint32_t bytes;  // what the first unmap reads
    } cases[] = {
        {"a written range", Mapping(0x10000, 1, 1024, 256, 64), 64},
        {"a whole buffer", Mapping(0x20000, 1, 1024), 1024},
        {"a read-only mapping", Mapping(0x30000, 0, 1024), 0},
        {"a failed map", Mapping(0, 1, 0, 256, 64), 0},
    };
    for (const auto& c : cases) {
        MappedBufferTable table;
        table.Store(0, 5, c.entry);
        const kestrel::WrittenBytes first = table.Unmap(5);
        EXPECT_EQ(first.length, c.bytes) << c.name;
        if (c.bytes) {
            EXPECT_EQ(Address(first.pointer), c.entry.pointer) << c.name;
        }
        // The GL has taken the memory back: a second unmap without a map must not read it.
        const kestrel::WrittenBytes second = table.Unmap(5);
        EXPECT_EQ(second.length, 0u) << c.name;
        ASSERT_NE(table.Find(5), nullptr) << c.name;
        EXPECT_EQ(table.Find(5)->mapped, 0u) << c.name;
        // A new map makes it readable again.
        table.Store(0, 5, c.entry);
        EXPECT_EQ(table.Unmap(5).length, c.bytes) << c.name;
    }
}

TEST(MappedBuffers, ABufferIsFoundByItsNameWhateverTargetMappedIt) {
    MappedBufferTable table;
    EXPECT_EQ(table.Unmap(9).length, 0u) << "no entry";
    table.Store(MappedBufferTable::Group(0x8893), 9, Mapping(0x40000, 1, 32));
    // Mapped again through the array target: one entry, the newer one.
    table.Store(MappedBufferTable::Group(0x8892), 9, Mapping(0x50000, 1, 16));
    EXPECT_EQ(table.Unmap(9).length, 16u);
    EXPECT_EQ(table.Unmap(9).length, 0u) << "no older entry left behind under the other target";
    // A named map replaces it where it is; a name never seen goes to the array group.
    table.Store(-1, 9, Mapping(0x60000, 1, 8));
    table.Store(-1, 11, Mapping(0x70000, 1, 4));
    const kestrel::WrittenBytes named = table.Unmap(9);
    EXPECT_EQ(named.length, 8u);
    EXPECT_EQ(Address(named.pointer), 0x60000u);
    EXPECT_EQ(table.Unmap(11).length, 4u);
}

TEST(MappedBuffers, ObjectBufferNamesAreKeptApartFromBufferObjects) {
    MappedBufferTable table;
    table.Store(0, 4, Mapping(0x10000, 1, 32));
    table.StoreObjectBuffer(4, Mapping(0x20000, 1, 8));
    const kestrel::WrittenBytes object = table.UnmapObjectBuffer(4);
    EXPECT_EQ(object.length, 8u);
    EXPECT_EQ(Address(object.pointer), 0x20000u);
    EXPECT_EQ(table.UnmapObjectBuffer(4).length, 0u);
    const kestrel::WrittenBytes buffer = table.Unmap(4);
    EXPECT_EQ(buffer.length, 32u) << "the buffer object of the same name is still mapped";
    EXPECT_EQ(Address(buffer.pointer), 0x10000u);
}

TEST(MappedBuffers, EachContextHasItsOwnTableUntilItIsDropped) {
    kestrel::ContextState first, second;
    kestrel::MappedBuffers buffers;
    EXPECT_EQ(buffers.Find(&first), nullptr);
    buffers.FindOrCreate(&first).Store(0, 3, Mapping(0x10000, 1, 12));
    EXPECT_EQ(buffers.Find(&second), nullptr) << "the mapping belongs to its context";
    ASSERT_NE(buffers.Find(&first), nullptr);
    EXPECT_EQ(buffers.Find(&first)->Find(3)->size, 12u);
    buffers.Drop(&first);
    EXPECT_EQ(buffers.Find(&first), nullptr);
}
