// The buffers each context has mapped: at unmap time they tell where the bytes are that the
// application may have written, and how many.
#pragma once
#include <cstdint>
#include <map>

#include "stream/PointerWidth.h"

namespace kestrel {

class ContextState;

// One mapping as the GL reported it at the map call.
struct MappingEntry {
    std::uint32_t mapped = 0;    // 1 when the map call returned a pointer
    Address pointer = 0;         // the buffer's map pointer, or the returned one
    std::uint32_t writable = 0;  // 0 for a read-only mapping
    std::uint32_t size = 0;      // the buffer's size
    std::uint32_t offset = 0;    // of a range map; 0 for a whole-buffer map
    std::uint32_t length = 0;    // of a range map; 0 for a whole-buffer map
};

// What an unmap records after its fixed part: length bytes at pointer (none when length is 0).
struct WrittenBytes {
    const void* pointer = nullptr;
    std::uint32_t length = 0;
};

// One context's mappings: a map of buffer names per group of targets.
class MappedBufferTable {
public:
    static constexpr int kGroups = 14;
    // The group of a target (array, element array, pixel pack, pixel unpack, uniform, texture, draw
    // indirect, copy read, copy write, shader storage, transform feedback, atomic counter, query,
    // dispatch indirect); -1 for a target outside them.
    static int Group(std::uint32_t target);
    // The glGetIntegerv name that asks which buffer a target of a group has bound; 0 for others.
    static std::uint32_t BindingQuery(std::uint32_t target);

    // A buffer name is the context's own whatever target it was mapped through: a map replaces the
    // name's entry wherever it is. A named map (group -1) keeps the group the name had, else array.
    void Store(int group, std::uint32_t buffer, const MappingEntry& entry);
    // The bytes of a mapped, writable entry; the entry is unmapped from then on, so that a second
    // unmap never reads through a pointer the GL has taken back.
    WrittenBytes Unmap(std::uint32_t buffer);
    const MappingEntry* Find(std::uint32_t buffer) const;

    // The vendor's object buffers have names of their own, kept apart from buffer objects.
    void StoreObjectBuffer(std::uint32_t buffer, const MappingEntry& entry) { objectBuffers_[buffer] = entry; }
    WrittenBytes UnmapObjectBuffer(std::uint32_t buffer);

private:
    static WrittenBytes Take(MappingEntry* entry);

    std::map<std::uint32_t, MappingEntry> groups_[kGroups];
    std::map<std::uint32_t, MappingEntry> objectBuffers_;
};

// The tables of every context, by its recording state; capturer-wide.
class MappedBuffers {
public:
    MappedBufferTable* Find(const ContextState* state);
    MappedBufferTable& FindOrCreate(const ContextState* state);
    void Drop(const ContextState* state) { tables_.erase(state); }

private:
    std::map<const ContextState*, MappedBufferTable> tables_;
};

}  // namespace kestrel
