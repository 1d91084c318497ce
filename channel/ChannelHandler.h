// What a serving thread calls for every message its channel receives.
#pragma once
#include <cstdint>

namespace kestrel {

class MessageChannel;

class ChannelHandler {
public:
    virtual ~ChannelHandler() = default;

    // Runs on the serving thread. A reply, if any, goes back with channel.send(..., tag).
    virtual void OnMessage(MessageChannel& channel, const std::uint8_t* message, std::uint32_t size,
                           std::uint32_t tag) = 0;
};

}  // namespace kestrel
