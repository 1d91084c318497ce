#include "glrecord/MappedBuffers.h"

namespace kestrel {

int MappedBufferTable::Group(std::uint32_t target) {
    switch (target) {
    case 0x8892: return 0;                // array
    case 0x8893: return 1;                // element array
    case 0x88EB: return 2;                // pixel pack
    case 0x88EC: return 3;                // pixel unpack
    case 0x8A11: case 0x8DEE: return 4;   // uniform
    case 0x8C2A: return 5;                // texture
    case 0x8F3F: return 6;                // draw indirect
    case 0x8F36: return 7;                // copy read
    case 0x8F37: return 8;                // copy write
    case 0x90D2: return 9;                // shader storage
    case 0x8C8E: return 10;               // transform feedback
    case 0x92C0: return 11;               // atomic counter
    case 0x9192: return 12;               // query
    case 0x90EE: return 13;               // dispatch indirect
    default: return -1;
    }
}

std::uint32_t MappedBufferTable::BindingQuery(std::uint32_t target) {
    switch (target) {
    case 0x8892: return 0x8894;
    case 0x8893: return 0x8895;
    case 0x88EB: return 0x88ED;
    case 0x88EC: return 0x88EF;
    case 0x8A11: return 0x8A28;
    // The buffer bound to the texture buffer target is asked by the target itself; 0x8C2C would
    // give the texture bound to it, whose name may be any buffer's.
    case 0x8C2A: return 0x8C2A;
    case 0x8DEE: return 0x8DEF;
    case 0x8F3F: return 0x8F43;
    case 0x8F36: return 0x8F36;  // the copy targets are their own binding queries
    case 0x8F37: return 0x8F37;
    case 0x90D2: return 0x90D3;
    case 0x8C8E: return 0x8C8F;
    case 0x92C0: return 0x92C1;
    case 0x9192: return 0x9193;
    case 0x90EE: return 0x90EF;
    default: return 0;
    }
}

void MappedBufferTable::Store(int group, std::uint32_t buffer, const MappingEntry& entry) {
    int held = -1;
    for (int g = 0; g < kGroups; ++g)
        if (groups_[g].count(buffer)) held = g;
    if (group < 0) group = held < 0 ? 0 : held;
    if (held >= 0 && held != group) groups_[held].erase(buffer);
    groups_[group][buffer] = entry;
}

const MappingEntry* MappedBufferTable::Find(std::uint32_t buffer) const {
    for (const auto& group : groups_) {
        const auto found = group.find(buffer);
        if (found != group.end()) return &found->second;
    }
    return nullptr;
}

WrittenBytes MappedBufferTable::Unmap(std::uint32_t buffer) { return Take(const_cast<MappingEntry*>(Find(buffer))); }

WrittenBytes MappedBufferTable::UnmapObjectBuffer(std::uint32_t buffer) {
    const auto found = objectBuffers_.find(buffer);
    return Take(found == objectBuffers_.end() ? nullptr : &found->second);
}

WrittenBytes MappedBufferTable::Take(MappingEntry* entry) {
    if (!entry || !entry->mapped) return {};
    entry->mapped = 0;
    if (!entry->writable) return {};
    const std::uint32_t bytes = entry->length != 0 ? entry->length : entry->size;
    return {reinterpret_cast<const void*>(static_cast<std::uintptr_t>(entry->pointer)), entry->pointer ? bytes : 0u};
}

MappedBufferTable* MappedBuffers::Find(const ContextState* state) {
    const auto found = tables_.find(state);
    return found == tables_.end() ? nullptr : &found->second;
}

MappedBufferTable& MappedBuffers::FindOrCreate(const ContextState* state) { return tables_[state]; }

}  // namespace kestrel
