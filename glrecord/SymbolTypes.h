// The data type of each symbol id the vendor vertex shader generated, kept as ranges: a generation
// names range ids at once, and the application chooses how many, so one generation is one entry
// whatever its size.
#pragma once
#include <cstdint>
#include <map>

namespace kestrel {

class SymbolTypes {
public:
    // Ids first .. first + count - 1 now have this type; ids past 32 bits are never named.
    void Set(std::uint32_t first, std::uint32_t count, std::uint32_t type);
    // 0 for an id no generation named.
    std::uint32_t Find(std::uint32_t id) const;
    std::size_t ranges() const { return ranges_.size(); }

private:
    struct Range {
        std::uint64_t end;  // one past the last id
        std::uint32_t type;
    };
    std::map<std::uint32_t, Range> ranges_;  // by first id
};

}  // namespace kestrel
