// Instance channel command 27: replaces the instance value (reply: Status).
#pragma once
#include <cstddef>
#include <cstdint>

#include "channel/MessageCode.h"

namespace kestrel {

#pragma pack(push, 1)
struct SetInstanceValue {
    std::uint8_t code = kCodeSetInstanceValue;
    std::uint8_t padding1[3] = {};
    std::uint32_t value = 0;
};
#pragma pack(pop)

static_assert(offsetof(SetInstanceValue, code) == 0);
static_assert(offsetof(SetInstanceValue, value) == 4);
static_assert(sizeof(SetInstanceValue) == 8);

}  // namespace kestrel
