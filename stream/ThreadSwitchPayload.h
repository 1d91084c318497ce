#pragma once
#include <cstddef>
#include <cstdint>

#include "stream/PointerWidth.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

#pragma pack(push, 1)
// Written ahead of a call whose thread differs from the previous recorded call's. The context is a
// handle: as wide as the recorded process's pointers (AddressT is std::uint32_t or std::uint64_t).
template <class AddressT>
struct BasicThreadSwitchPayload {
    static constexpr uint32_t kId = kThreadSwitchRecord;
    uint32_t threadId;
    AddressT context;  // rendering context on record for that thread, 0 if none
};
#pragma pack(pop)

using ThreadSwitchPayload = BasicThreadSwitchPayload<Address>;
using ThreadSwitchPayload32 = BasicThreadSwitchPayload<std::uint32_t>;
using ThreadSwitchPayload64 = BasicThreadSwitchPayload<std::uint64_t>;

static_assert(sizeof(ThreadSwitchPayload32) == 8);
static_assert(sizeof(ThreadSwitchPayload64) == 12);
static_assert(offsetof(ThreadSwitchPayload32, threadId) == 0);
static_assert(offsetof(ThreadSwitchPayload32, context) == 4);
static_assert(offsetof(ThreadSwitchPayload64, context) == 4);

}  // namespace kestrel
