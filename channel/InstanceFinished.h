// Session channel request 4: the capture has finished (reply: Status).
#pragma once
#include <cstdint>

#include "channel/MessageCode.h"

namespace kestrel {

#pragma pack(push, 1)
struct InstanceFinished {
    std::uint8_t code = kCodeInstanceFinished;
};
#pragma pack(pop)

static_assert(sizeof(InstanceFinished) == 1);

}  // namespace kestrel
