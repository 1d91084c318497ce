// Client-memory vertex arrays. A pointer into the application's memory means nothing to the replay:
// the call that set it is held back, and at each draw it is issued again pointing into the client
// memory records that the capture wrote just before that draw, at the same offsets from the address.
#pragma once
#include <cstdint>
#include <map>
#include <vector>

namespace kestrel::replay {

class ClientArrays {
public:
    // A held-back pointer call: its record and the entry point of the name that made it.
    struct Array {
        std::uint32_t id = 0;
        void* entry = nullptr;
        std::vector<std::uint8_t> payload;
        std::uint64_t pointer = 0;  // the application's address
        std::uint32_t unit = 0;     // the client texture unit it was set for
    };

    // A client memory record's payload: the address at the capture's pointer width, offset, flags,
    // then the bytes.
    void AddBlock(std::vector<std::uint8_t>&& payload, std::uint32_t pointerBits);
    bool HasBlocks() const { return !blocks_.empty(); }
    void ClearBlocks() { blocks_.clear(); }

    void Hold(std::uint32_t context, std::uint64_t key, Array&& array) { held_[context][key] = std::move(array); }
    void Release(std::uint32_t context, std::uint64_t key);
    void ForgetContext(std::uint32_t context) { held_.erase(context); }

    // Calls `issue(array, pointer)` for each held array of the context that a block feeds, with the
    // pointer that reads the block's bytes at the offsets the draw uses.
    template <class F>
    void Feed(std::uint32_t context, F&& issue) const {
        const auto found = held_.find(context);
        if (found == held_.end()) return;
        for (const auto& [key, array] : found->second) {
            const void* pointer = PointerFor(array.pointer);
            if (pointer) issue(array, pointer);
        }
    }
    bool Holds(std::uint32_t context) const { return held_.count(context) != 0 && !held_.at(context).empty(); }

private:
    const void* PointerFor(std::uint64_t address) const;

    struct Block {
        std::uint64_t address;
        std::uint32_t offset;
        std::uint32_t head;  // bytes before the data
        std::vector<std::uint8_t> payload;
    };
    std::vector<Block> blocks_;
    std::map<std::uint32_t, std::map<std::uint64_t, Array>> held_;
};

}  // namespace kestrel::replay
