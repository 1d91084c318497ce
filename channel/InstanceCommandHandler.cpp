#include "channel/InstanceCommandHandler.h"

#include <cstring>

#include "channel/InstanceAddress.h"
#include "channel/InstanceLinks.h"
#include "channel/LinkInstance.h"
#include "channel/MessageChannel.h"
#include "channel/SetInstanceValue.h"
#include "channel/SignExtendedAddress.h"
#include "channel/Status.h"
#include "channel/ToggleInstanceFlag.h"

namespace kestrel {

namespace {
void ReplyStatus(MessageChannel& channel, std::uint8_t code, std::uint32_t tag) {
    Status status;
    status.code = code;
    channel.send(&status, sizeof status, tag);
}

// Copies the command out when the message is long enough to hold it.
template <typename Command>
bool Read(const std::uint8_t* message, std::uint32_t size, Command& command) {
    if (size < sizeof command) return false;
    std::memcpy(&command, message, sizeof command);
    return true;
}
}  // namespace

void InstanceCommandHandler::OnMessage(MessageChannel& channel, const std::uint8_t* message, std::uint32_t size,
                                       std::uint32_t tag) {
    if (size == 0) return;
    switch (message[0]) {
    case kCodeQueryInstance: {
        InstanceAddress reply;
        reply.address = SignExtendedAddress(reinterpret_cast<const void*>(state_.capturerAddress));
        channel.send(&reply, sizeof reply, tag);
        return;
    }
    case kCodeSetInstanceValue: {
        SetInstanceValue command;
        if (!Read(message, size, command)) return ReplyStatus(channel, kStatusRefused, tag);
        state_.instanceValue = command.value;
        return ReplyStatus(channel, kStatusAccepted, tag);
    }
    case kCodeToggleInstanceFlag: {
        ToggleInstanceFlag command;
        if (!Read(message, size, command)) return ReplyStatus(channel, kStatusRefused, tag);
        if (command.value != 0) state_.instanceFlag = state_.instanceFlag ? 0 : 1;
        return ReplyStatus(channel, kStatusAccepted, tag);
    }
    case kCodeLinkInstance: {
        LinkInstance command;
        if (!Read(message, size, command)) return ReplyStatus(channel, kStatusRefused, tag);
        AppendLink(state_, command.address);
        return ReplyStatus(channel, kStatusAccepted, tag);
    }
    default:
        return;  // unknown: no reply
    }
}

}  // namespace kestrel
