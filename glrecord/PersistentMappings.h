// The persistent mappings of the process, each with its shadow. The GL's read points test
// `empty()` alone while there are none.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "glrecord/PersistentMapping.h"

namespace kestrel {

class PersistentMappings {
public:
    bool empty() const { return count_ == 0; }

    // The shadow to hand the application for a new mapping of buffer by owner (a context's state),
    // replacing any it had; null when none could be made (the real pointer is handed out then).
    std::uint8_t* Add(const void* owner, std::uint32_t buffer, std::uint32_t offset, std::uint32_t length,
                      std::uint8_t* real, bool readable);
    PersistentMapping* Find(const void* owner, std::uint32_t buffer);
    // The mapping ends (unmapped, or the buffer deleted or given new storage): its shadow is freed.
    void Remove(const void* owner, std::uint32_t buffer);
    // The owner's context is gone: its shadows are forgotten but not freed.
    void AbandonOwner(const void* owner);

    template <class F>
    void ForOwner(const void* owner, F f) {
        for (auto& mapping : mappings_)
            if (mapping->owner() == owner) f(*mapping);
    }

private:
    std::vector<std::unique_ptr<PersistentMapping>> mappings_;
    std::uint32_t count_ = 0;
};

}  // namespace kestrel
