#include "controller/replay/ClientArrays.h"

#include <cstring>

namespace kestrel::replay {

namespace {
constexpr std::uint32_t kVariantArray = 0x80000000u;

std::uint32_t Field(const std::vector<std::uint8_t>& payload, std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, payload.data() + at, 4);
    return value;
}
}  // namespace

void ClientArrays::AddBlock(std::vector<std::uint8_t>&& payload, std::uint32_t pointerBits) {
    const std::uint32_t addressBytes = pointerBits == 64 ? 8 : 4;
    const std::uint32_t head = addressBytes + 8;
    if (payload.size() < head || (Field(payload, addressBytes + 4) & kVariantArray)) return;
    std::uint64_t address = 0;
    std::memcpy(&address, payload.data(), addressBytes);
    blocks_.push_back({address, Field(payload, addressBytes), head, std::move(payload)});
}

void ClientArrays::Release(std::uint32_t context, std::uint64_t key) {
    const auto found = held_.find(context);
    if (found != held_.end()) found->second.erase(key);
}

const void* ClientArrays::PointerFor(std::uint64_t address) const {
    // The latest block from the address: a draw dumps each array once.
    for (auto block = blocks_.rbegin(); block != blocks_.rend(); ++block) {
        if (block->address != address) continue;
        // The bytes stand `offset` bytes after the address; the GL reads from there on.
        return reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(block->payload.data() + block->head) -
                                             block->offset);
    }
    return nullptr;
}

}  // namespace kestrel::replay
