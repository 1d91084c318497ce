#pragma once
#include <cstddef>
#include <cstdint>

#include "stream/StreamRecordId.h"

namespace kestrel {

#pragma pack(push, 1)
// Written ahead of a call whose thread differs from the previous recorded call's.
struct ThreadSwitchPayload {
    static constexpr uint32_t kId = kThreadSwitchRecord;
    uint32_t threadId;
    uint32_t context;  // rendering context on record for that thread, 0 if none
};
#pragma pack(pop)

static_assert(sizeof(ThreadSwitchPayload) == 8);
static_assert(offsetof(ThreadSwitchPayload, threadId) == 0);
static_assert(offsetof(ThreadSwitchPayload, context) == 4);

}  // namespace kestrel
