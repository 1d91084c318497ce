// The one-byte reply to InstanceReady, InstanceFinished, GrowStatsData and the instance commands.
#pragma once
#include <cstdint>

#include "channel/MessageCode.h"

namespace kestrel {

#pragma pack(push, 1)
struct Status {
    std::uint8_t code = kStatusAccepted;  // 0 accepted; anything else is a refusal
};
#pragma pack(pop)

static_assert(sizeof(Status) == 1);

}  // namespace kestrel
