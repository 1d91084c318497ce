// What the instance channel's commands act on; the capturer owns one.
#pragma once
#include <cstdint>
#include <vector>

#include "stream/PointerWidth.h"

namespace kestrel {

struct InstanceState {
    std::uint32_t instanceValue = 0;  // replaced by SetInstanceValue; start-up sets it from instanceValueInit
    std::uint32_t instanceFlag = 1;   // inverted by ToggleInstanceFlag
    std::vector<Address> linkList;  // addresses of linked capturers, 0 for a cleared or leading entry
    volatile std::uint32_t linkLock = 0;  // compare-and-swap spin word (0 free, 0xCEDED held) over linkList
    Address capturerAddress = 0;          // the owning capturer, as QueryInstance reports it
};

}  // namespace kestrel
