#include "channel/ChannelNames.h"

#include <cstdio>

namespace kestrel {

void InstanceChannelName(std::uint32_t instanceId, char (&name)[kChannelNameSize]) {
    std::snprintf(name, sizeof name, "%s- %d", kInstanceChannelPrefix, static_cast<int>(instanceId));
}

}  // namespace kestrel
