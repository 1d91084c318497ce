// Names of the two channels the recorder takes part in.
#pragma once
#include <cstdint>

namespace kestrel {

// Served by the controlling process; the recorder is a client.
constexpr const char* kSessionChannelName = "Local\\TRK_CaptureSessionMemory";

// Served by the recorder: the prefix, "- " and the instance id in signed decimal.
constexpr const char* kInstanceChannelPrefix = "Local\\TRK_CaptureInstanceMemory";

constexpr std::uint32_t kChannelNameSize = 64;

void InstanceChannelName(std::uint32_t instanceId, char (&name)[kChannelNameSize]);

}  // namespace kestrel
