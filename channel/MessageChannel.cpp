#include "channel/MessageChannel.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "channel/TimedExchangeWord.h"

namespace kestrel {

namespace {
constexpr DWORD kAllAccess = 0xF001F;

// False when the name would not fit: a cut name would be a different object.
bool FormatName(char (&name)[MessageChannel::kNameSize], const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(name, sizeof name, format, args);
    va_end(args);
    return length >= 0 && static_cast<std::uint32_t>(length) < sizeof name;
}

void CopyName(char (&dest)[MessageChannel::kNameSize], const char* src) {
    std::size_t length = std::strlen(src);
    if (length >= sizeof dest) length = sizeof dest - 1;
    std::memcpy(dest, src, length);
    dest[length] = '\0';
}

void CloseIfValid(HANDLE& handle) {
    if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = nullptr;
}
}  // namespace

MessageChannel::MessageChannel() : clientEvents_(8) { clientEvents_.max_load_factor(1.0f); }

MessageChannel::~MessageChannel() { close(); }

std::uint32_t MessageChannel::Key(const char* eventName) {
    std::uint32_t key = 0;
    for (const char* p = eventName; *p; ++p)
        key = key * 65599u + static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(*p)));
    return key;
}

std::uint32_t MessageChannel::open(std::uint32_t role, const char* name) {
    if (mailbox_ || mapping_) {
        if (mailbox_) UnmapViewOfFile(mailbox_);
        mailbox_ = nullptr;
        CloseIfValid(mapping_);
    }
    role_ = role;
    CopyName(baseName_, name);
    if (receiveEvent_ && (eventsRole_ != role_ || std::strcmp(eventsBaseName_, baseName_) != 0)) closeEvents();
    if (!receiveEvent_) {
        const std::uint32_t result = createEvents();
        if (result != kChannelOk) return result;
    }

    if (role_ == kServer)
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ChannelMailbox), baseName_);
    else
        mapping_ = OpenFileMappingA(kAllAccess, FALSE, baseName_);
    if (!mapping_) return kChannelNoMapping;
    if (role_ == kClient && !servingMutex_) {
        char mutexName[kNameSize];
        if (ServingMutexName(mutexName, baseName_)) servingMutex_ = OpenMutexA(SYNCHRONIZE, FALSE, mutexName);
    }
    serverGone_ = false;
    mailbox_ = static_cast<ChannelMailbox*>(MapViewOfFile(mapping_, kAllAccess, 0, 0, sizeof(ChannelMailbox)));
    if (!mailbox_) {
        CloseIfValid(mapping_);
        return kChannelNoView;
    }
    return kChannelOk;
}

std::uint32_t MessageChannel::createEvents() {
    const auto process = static_cast<unsigned>(GetCurrentProcessId());
    const auto self = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(this));
    bool named;
    if (role_ == kServer) {
        named = FormatName(receiveEventName_, "%s_EVENT_SERVER_RECEIVE", baseName_) &&
                FormatName(abortEventName_, "%s_EVENT_SERVER_ABORT_RECEIVE", baseName_);
        serverEventName_[0] = '\0';
    } else {
        // The receive-event name travels in the mailbox's 260-byte field, so it must fit there whole.
        named = FormatName(receiveEventName_, "%s_EVENT_CLIENT_RECEIVE__PROCID_0X%08X_INSTPTR_0X%08X", baseName_, process, self) &&
                FormatName(serverEventName_, "%s_EVENT_SERVER_RECEIVE", baseName_) &&
                FormatName(abortEventName_, "%s_EVENT_CLIENT_ABORT_RECEIVE__PROCID_0X%08X_INSTPTR_0X%08X", baseName_, process, self);
    }
    if (!named) return kChannelNoMapping;
    key_ = Key(receiveEventName_);
    receiveEvent_ = CreateEventA(nullptr, FALSE, FALSE, receiveEventName_);
    abortEvent_ = CreateEventA(nullptr, FALSE, FALSE, abortEventName_);
    // The client opens the server's receive event, or creates it if the server has not yet done so.
    if (role_ == kClient) peerEvent_ = CreateEventA(nullptr, FALSE, FALSE, serverEventName_);
    if (!receiveEvent_ || !abortEvent_ || (role_ == kClient && !peerEvent_)) {
        closeEvents();
        return kChannelNoMapping;
    }
    eventsRole_ = role_;
    std::memcpy(eventsBaseName_, baseName_, sizeof eventsBaseName_);
    return kChannelOk;
}

bool MessageChannel::ServingMutexName(char (&out)[kNameSize], const char* baseName) {
    return FormatName(out, "%s_SERVING", baseName);
}

void MessageChannel::closeEvents() {
    const HANDLE peer = peerEvent_;
    CloseIfValid(servingMutex_);
    serverGone_ = false;
    CloseIfValid(receiveEvent_);
    CloseIfValid(peerEvent_);
    CloseIfValid(abortEvent_);
    for (auto& [key, handle] : clientEvents_)
        if (handle != peer) CloseHandle(handle);
    clientEvents_.clear();
}

void MessageChannel::close() {
    if (mailbox_) UnmapViewOfFile(mailbox_);
    mailbox_ = nullptr;
    CloseIfValid(mapping_);
    closeEvents();
}

std::uint32_t MessageChannel::send(const void* payload, std::uint32_t size, std::uint32_t tag) {
    if (!mailbox_) return kChannelNoMapping;
    if (size > kMaxPayload) return kChannelMailboxBusy;
    return role_ == kServer ? serverSend(payload, size, tag) : clientSend(payload, size, tag);
}

std::uint32_t MessageChannel::clientSend(const void* payload, std::uint32_t size, std::uint32_t tag) {
    if (serverGone_) return kChannelAborted;
    ChannelMailbox* box = mailbox_;
    AcquireExchangeWordWithin(&box->lock, kClientLockGiveUpMs);
    if (box->state != kMailboxEmpty) {
        ReleaseExchangeWord(&box->lock);
        return kChannelMailboxBusy;
    }
    std::memcpy(box->payload, payload, size);
    box->state = kMailboxRequestPosted;
    box->tag = tag;
    box->payloadSize = size;
    std::memcpy(box->replyEventName, receiveEventName_, sizeof box->replyEventName);
    box->clientKey = key_;
    SetEvent(peerEvent_);
    return kChannelOk;  // the lock stays held until the reply is read
}

std::uint32_t MessageChannel::serverSend(const void* payload, std::uint32_t size, std::uint32_t tag) {
    ChannelMailbox* box = mailbox_;
    if (box->state != kMailboxEmpty && box->state != kMailboxRequestTaken) return kChannelMailboxBusy;
    std::memcpy(box->payload, payload, size);
    box->state = kMailboxReplyPosted;
    box->tag = tag;
    box->payloadSize = size;

    const std::uint32_t key = box->clientKey;
    HANDLE client = nullptr;
    auto found = clientEvents_.find(key);
    if (found != clientEvents_.end()) {
        client = found->second;
    } else {
        char name[ChannelMailbox::kEventNameSize];
        std::memcpy(name, box->replyEventName, sizeof name);
        name[sizeof name - 1] = '\0';
        // A client whose event is gone gets nothing; only opened handles are kept, so it can come back.
        client = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
        if (client) clientEvents_.emplace(key, client);
    }
    if (client) {
        peerEvent_ = client;
        SetEvent(client);
    }
    return kChannelOk;
}

std::uint32_t MessageChannel::receive(void* buffer, std::uint32_t* size, std::uint32_t* tag) {
    if (!mailbox_) return kChannelNoMapping;
    const HANDLE events[3] = {abortEvent_, receiveEvent_, servingMutex_};
    const DWORD count = role_ == kClient && servingMutex_ ? 3 : 2;
    const DWORD woke = WaitForMultipleObjects(count, events, FALSE, INFINITE);
    ChannelMailbox* box = mailbox_;
    if (woke == WAIT_OBJECT_0 + 2 || woke == WAIT_ABANDONED_0 + 2) {
        // The server is gone with our request: nobody else will empty the mailbox or free its lock.
        ReleaseMutex(servingMutex_);
        serverGone_ = true;
        box->state = kMailboxEmpty;
        ReleaseExchangeWord(&box->lock);
        return kChannelAborted;
    }
    if (woke != WAIT_OBJECT_0 + 1) return kChannelAborted;
    std::uint32_t length = box->payloadSize;
    if (length > kMaxPayload) length = kMaxPayload;  // the size word is another process's to write
    std::memcpy(buffer, box->payload, length);
    if (size) *size = length;
    if (role_ == kServer) {
        box->state = kMailboxRequestTaken;
        if (tag) *tag = box->tag;
    } else {
        box->state = kMailboxEmpty;
        ReleaseExchangeWord(&box->lock);
    }
    return kChannelOk;
}

std::uint32_t MessageChannel::exchange(const void* request, std::uint32_t size, std::uint32_t tag, void* reply,
                                       std::uint32_t* replySize) {
    const std::uint32_t sent = send(request, size, tag);
    if (sent != kChannelOk) return sent;
    return receive(reply, replySize, nullptr);
}

void MessageChannel::abort() {
    if (abortEvent_) SetEvent(abortEvent_);
}

}  // namespace kestrel
