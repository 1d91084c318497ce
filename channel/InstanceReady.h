// Session channel request 3: the instance channel is served (reply: Status).
#pragma once
#include <cstdint>

#include "channel/MessageCode.h"

namespace kestrel {

#pragma pack(push, 1)
struct InstanceReady {
    std::uint8_t code = kCodeInstanceReady;
};
#pragma pack(pop)

static_assert(sizeof(InstanceReady) == 1);

}  // namespace kestrel
