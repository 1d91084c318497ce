// Instance channel command 30: links another capturer object of the same process (reply: Status).
#pragma once
#include <cstddef>
#include <cstdint>

#include "channel/MessageCode.h"

namespace kestrel {

#pragma pack(push, 1)
struct LinkInstance {
    std::uint8_t code = kCodeLinkInstance;
    std::uint8_t padding1[7] = {};
    std::uint32_t address = 0;  // as that capturer's InstanceAddress reported it
};
#pragma pack(pop)

static_assert(offsetof(LinkInstance, code) == 0);
static_assert(offsetof(LinkInstance, address) == 8);
static_assert(sizeof(LinkInstance) == 12);

}  // namespace kestrel
