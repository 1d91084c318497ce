// Instance channel command 25: asks for the capturer's address (reply: InstanceAddress).
#pragma once
#include <cstdint>

#include "channel/MessageCode.h"

namespace kestrel {

#pragma pack(push, 1)
struct QueryInstance {
    std::uint8_t code = kCodeQueryInstance;
};
#pragma pack(pop)

static_assert(sizeof(QueryInstance) == 1);

}  // namespace kestrel
