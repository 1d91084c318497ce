#include "glrecord/PersistentMappings.h"

namespace kestrel {

std::uint8_t* PersistentMappings::Add(const void* owner, std::uint32_t buffer, std::uint32_t offset,
                                      std::uint32_t length, std::uint8_t* real, bool readable) {
    Remove(owner, buffer);
    std::unique_ptr<PersistentMapping> mapping =
        PersistentMapping::Create(owner, buffer, offset, length, real, readable);
    if (!mapping) return nullptr;
    std::uint8_t* shadow = mapping->shadow();
    try {
        mappings_.push_back(std::move(mapping));
    } catch (...) {
        return nullptr;
    }
    count_ = static_cast<std::uint32_t>(mappings_.size());
    return shadow;
}

PersistentMapping* PersistentMappings::Find(const void* owner, std::uint32_t buffer) {
    for (auto& mapping : mappings_)
        if (mapping->owner() == owner && mapping->buffer() == buffer) return mapping.get();
    return nullptr;
}

void PersistentMappings::Remove(const void* owner, std::uint32_t buffer) {
    for (auto it = mappings_.begin(); it != mappings_.end(); ++it)
        if ((*it)->owner() == owner && (*it)->buffer() == buffer) {
            mappings_.erase(it);
            break;
        }
    count_ = static_cast<std::uint32_t>(mappings_.size());
}

void PersistentMappings::AbandonOwner(const void* owner) {
    for (auto it = mappings_.begin(); it != mappings_.end();) {
        if ((*it)->owner() == owner) {
            (*it)->Abandon();
            it = mappings_.erase(it);
        } else {
            ++it;
        }
    }
    count_ = static_cast<std::uint32_t>(mappings_.size());
}

}  // namespace kestrel
