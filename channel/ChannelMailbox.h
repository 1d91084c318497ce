// Layout of a channel's shared mailbox block: one request or one reply at a time.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kestrel {

#pragma pack(push, 1)
struct ChannelMailbox {
    static constexpr std::uint32_t kPayloadCapacity = 4096;
    static constexpr std::uint32_t kEventNameSize = 260;

    std::uint32_t lock;  // 0 free, 1 held by a client from its request until it has read the reply
    std::uint8_t state;  // MailboxState
    std::uint8_t padding5[3];
    std::uint32_t tag;
    char replyEventName[kEventNameSize];
    std::uint32_t clientKey;
    std::uint32_t payloadSize;
    std::uint8_t payload[kPayloadCapacity];
};
#pragma pack(pop)

// 0 -> 1 (client posted) -> 3 (server took it) -> 2 (server replied) -> 0 (client read the reply).
enum MailboxState : std::uint8_t {
    kMailboxEmpty = 0,
    kMailboxRequestPosted = 1,
    kMailboxReplyPosted = 2,
    kMailboxRequestTaken = 3,
};

static_assert(offsetof(ChannelMailbox, lock) == 0);
static_assert(offsetof(ChannelMailbox, state) == 4);
static_assert(offsetof(ChannelMailbox, tag) == 8);
static_assert(offsetof(ChannelMailbox, replyEventName) == 12);
static_assert(offsetof(ChannelMailbox, clientKey) == 272);
static_assert(offsetof(ChannelMailbox, payloadSize) == 276);
static_assert(offsetof(ChannelMailbox, payload) == 280);
static_assert(sizeof(ChannelMailbox) == 4376);

}  // namespace kestrel
