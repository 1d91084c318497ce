// One end of a request/reply channel between processes: a shared ChannelMailbox and named
// auto-reset events. One server and any number of clients share a mailbox; a client holds the
// mailbox lock from posting its request until it has read the reply.
#pragma once
#include <windows.h>
#include <cstdint>
#include <unordered_map>

#include "channel/ChannelMailbox.h"
#include "channel/ChannelResult.h"

namespace kestrel {

class MessageChannel {
public:
    static constexpr std::uint32_t kClient = 0;
    static constexpr std::uint32_t kServer = 1;
    static constexpr std::uint32_t kNameSize = 260;
    static constexpr std::uint32_t kMaxPayload = ChannelMailbox::kPayloadCapacity;
    static constexpr DWORD kClientLockGiveUpMs = 99999999;

    MessageChannel();
    ~MessageChannel();
    MessageChannel(const MessageChannel&) = delete;
    MessageChannel& operator=(const MessageChannel&) = delete;

    // Creates the events (once per object and role), then creates (server) or opens (client) the
    // mailbox. Result 0, 2 (mapping or events not available) or 3 (view not mapped).
    std::uint32_t open(std::uint32_t role, const char* name);

    // A client's request or a server's reply; at most kMaxPayload bytes. Result 0, 2 (not open) or 7
    // (mailbox not in a state that allows it, or payload too large; nothing sent).
    std::uint32_t send(const void* payload, std::uint32_t size, std::uint32_t tag);

    // Waits without time-out for a message and copies it into buffer (kMaxPayload bytes). A server
    // also gets the tag; a client's tag is left alone. Result 0, 2 (not open) or 5 (aborted).
    std::uint32_t receive(void* buffer, std::uint32_t* size, std::uint32_t* tag);

    // Client: send, then receive the reply. Result of the first step that failed, or 0.
    std::uint32_t exchange(const void* request, std::uint32_t size, std::uint32_t tag, void* reply,
                           std::uint32_t* replySize);

    // Makes a pending or the next receive of this end return 5.
    void abort();
    void close();

    // Key of a receive-event name: key = key * 65,599 + character (signed), modulo 2^32.
    static std::uint32_t Key(const char* eventName);

    bool isOpen() const { return mailbox_ != nullptr; }
    std::uint32_t role() const { return role_; }
    const char* baseName() const { return baseName_; }
    const char* receiveEventName() const { return receiveEventName_; }
    std::uint32_t key() const { return key_; }

    // The mutex that a serving thread holds for as long as it serves the channel of this name. A
    // client waiting for a reply gives up when the mutex comes free (its server ended) or is
    // abandoned (its process died), instead of waiting forever.
    static bool ServingMutexName(char (&out)[kNameSize], const char* baseName);
    const char* name() const { return baseName_; }

private:
    std::uint32_t createEvents();
    void closeEvents();
    std::uint32_t clientSend(const void* payload, std::uint32_t size, std::uint32_t tag);
    std::uint32_t serverSend(const void* payload, std::uint32_t size, std::uint32_t tag);

    std::uint32_t role_ = kClient;
    char baseName_[kNameSize] = {};
    HANDLE mapping_ = nullptr;
    ChannelMailbox* mailbox_ = nullptr;
    HANDLE receiveEvent_ = nullptr;
    char receiveEventName_[kNameSize] = {};
    std::uint32_t key_ = 0;
    HANDLE abortEvent_ = nullptr;
    char abortEventName_[kNameSize] = {};
    HANDLE peerEvent_ = nullptr;  // client: the server's receive event; server: the last client replied to
    char serverEventName_[kNameSize] = {};  // client only
    char eventsBaseName_[kNameSize] = {};   // the base name and role the events were made for
    std::uint32_t eventsRole_ = kClient;
    std::unordered_map<std::uint32_t, HANDLE> clientEvents_;
    HANDLE servingMutex_ = nullptr;  // client: the server's, when it has one
    bool serverGone_ = false;  // server: client key -> its receive event
};

}  // namespace kestrel
