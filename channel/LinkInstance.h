// Instance channel command 30: links another capturer object of the same process (reply: Status).
#pragma once
#include <cstddef>
#include <cstdint>

#include "channel/MessageCode.h"
#include "stream/PointerWidth.h"

namespace kestrel {

#pragma pack(push, 1)
// The address is the recorder process's pointer at its own width (AddressT is std::uint32_t or
// std::uint64_t): 12 bytes for a 32-bit recorder, 16 for a 64-bit one.
template <class AddressT>
struct BasicLinkInstance {
    std::uint8_t code = kCodeLinkInstance;
    std::uint8_t padding1[7] = {};
    AddressT address = 0;  // as that capturer's InstanceAddress reported it
};
#pragma pack(pop)

using LinkInstance = BasicLinkInstance<Address>;
using LinkInstance32 = BasicLinkInstance<std::uint32_t>;
using LinkInstance64 = BasicLinkInstance<std::uint64_t>;

static_assert(offsetof(LinkInstance32, code) == 0);
static_assert(offsetof(LinkInstance32, address) == 8);
static_assert(sizeof(LinkInstance32) == 12);
static_assert(offsetof(LinkInstance64, address) == 8);
static_assert(sizeof(LinkInstance64) == 16);

}  // namespace kestrel
