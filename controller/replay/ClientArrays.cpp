#include "controller/replay/ClientArrays.h"

#include <cstring>

namespace kestrel::replay {

namespace {
constexpr std::uint32_t kVariantArray = 0x80000000u;
constexpr std::size_t kBlockHeader = 12;

std::uint32_t Field(const std::vector<std::uint8_t>& payload, std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, payload.data() + at, 4);
    return value;
}
}  // namespace

void ClientArrays::AddBlock(std::vector<std::uint8_t>&& payload) {
    if (payload.size() >= kBlockHeader && !(Field(payload, 8) & kVariantArray)) blocks_.push_back(std::move(payload));
}

void ClientArrays::Release(std::uint32_t context, std::uint64_t key) {
    const auto found = held_.find(context);
    if (found != held_.end()) found->second.erase(key);
}

const void* ClientArrays::PointerFor(std::uint32_t address) const {
    // The latest block from the address: a draw dumps each array once.
    for (auto block = blocks_.rbegin(); block != blocks_.rend(); ++block) {
        if (Field(*block, 0) != address) continue;
        // The bytes stand `offset` bytes after the address; the GL reads from there on.
        return reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(block->data() + kBlockHeader) -
                                             Field(*block, 4));
    }
    return nullptr;
}

}  // namespace kestrel::replay
