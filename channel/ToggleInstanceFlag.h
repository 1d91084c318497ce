// Instance channel command 29: inverts the instance flag when the value is nonzero (reply: Status).
#pragma once
#include <cstddef>
#include <cstdint>

#include "channel/MessageCode.h"

namespace kestrel {

#pragma pack(push, 1)
struct ToggleInstanceFlag {
    std::uint8_t code = kCodeToggleInstanceFlag;
    std::uint8_t padding1[3] = {};
    std::uint32_t value = 0;
};
#pragma pack(pop)

static_assert(offsetof(ToggleInstanceFlag, code) == 0);
static_assert(offsetof(ToggleInstanceFlag, value) == 4);
static_assert(sizeof(ToggleInstanceFlag) == 8);

}  // namespace kestrel
