// Answers the controlling process's commands on the recorder's instance channel.
#pragma once
#include <cstdint>

#include "channel/ChannelHandler.h"
#include "channel/InstanceState.h"

namespace kestrel {

class InstanceCommandHandler : public ChannelHandler {
public:
    explicit InstanceCommandHandler(InstanceState& state) : state_(state) {}

    // QueryInstance, SetInstanceValue, ToggleInstanceFlag and LinkInstance are answered; any other
    // code gets no reply. A known command too short to carry its value is refused with Status 1.
    void OnMessage(MessageChannel& channel, const std::uint8_t* message, std::uint32_t size,
                   std::uint32_t tag) override;

private:
    InstanceState& state_;
};

}  // namespace kestrel
