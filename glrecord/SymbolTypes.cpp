#include "glrecord/SymbolTypes.h"

namespace kestrel {

void SymbolTypes::Set(std::uint32_t first, std::uint32_t count, std::uint32_t type) {
    if (count == 0) return;
    const std::uint64_t end = std::uint64_t{first} + count;
    if (end > 0x100000000ull) return;
    // Ids named again (after a deletion) take the new type: earlier ranges are cut around them.
    auto at = ranges_.lower_bound(first);
    if (at != ranges_.begin()) {
        auto before = std::prev(at);
        if (before->second.end > first) {
            const Range tail = before->second;
            before->second.end = first;
            if (tail.end > end) ranges_[static_cast<std::uint32_t>(end)] = {tail.end, tail.type};
        }
    }
    at = ranges_.lower_bound(first);
    while (at != ranges_.end() && at->first < end) {
        const Range range = at->second;
        at = ranges_.erase(at);
        if (range.end > end) {
            ranges_[static_cast<std::uint32_t>(end)] = range;
            break;
        }
    }
    ranges_[first] = {end, type};
}

std::uint32_t SymbolTypes::Find(std::uint32_t id) const {
    auto at = ranges_.upper_bound(id);
    if (at == ranges_.begin()) return 0;
    --at;
    return id < at->second.end ? at->second.type : 0;
}

}  // namespace kestrel
