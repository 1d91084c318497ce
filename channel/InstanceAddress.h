// Instance channel reply 26 to QueryInstance.
#pragma once
#include <cstddef>
#include <cstdint>

#include "channel/MessageCode.h"

namespace kestrel {

#pragma pack(push, 1)
struct InstanceAddress {
    std::uint8_t code = kCodeInstanceAddress;
    std::uint8_t padding1[7] = {};
    std::uint64_t address = 0;  // the capturer object, sign-extended from 32 bits
};
#pragma pack(pop)

static_assert(offsetof(InstanceAddress, code) == 0);
static_assert(offsetof(InstanceAddress, address) == 8);
static_assert(sizeof(InstanceAddress) == 16);

}  // namespace kestrel
