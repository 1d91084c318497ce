#include "controller/SessionServer.h"

#include <cstring>

#include "channel/GrowStatsData.h"
#include "channel/MessageChannel.h"
#include "channel/MessageCode.h"
#include "channel/RegisterReply.h"

namespace kestrel {

SessionServer::~SessionServer() { Stop(); }

bool SessionServer::Start(const SessionPolicy& policy, std::string& error) {
    policy_ = policy;
    if (HANDLE existing = OpenFileMappingA(FILE_MAP_READ, FALSE, kSessionChannelName)) {
        CloseHandle(existing);
        error = "a capture is already running (its session channel exists)";
        return false;
    }
    registered_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    finished_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (server_.start(*this, kSessionChannelName) != 0) {
        error = "cannot serve the session channel";
        return false;
    }
    return true;
}

void SessionServer::Stop() {
    server_.stop();
    if (registered_) CloseHandle(registered_);
    if (finished_) CloseHandle(finished_);
    registered_ = finished_ = nullptr;
}

void SessionServer::Reply(MessageChannel& channel, std::uint8_t status, std::uint32_t tag) {
    channel.send(&status, 1, tag);
}

void SessionServer::OnRegister(MessageChannel& channel, const std::uint8_t* message, std::uint32_t size,
                               std::uint32_t tag) {
    Register request{};
    std::memcpy(&request, message, size < sizeof request ? size : sizeof request);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        registrations_.push_back(request);
    }
    // Everything named in the reply exists before the reply is sent.
    if (policy_.createRing && !ringReady_) {
        ring_.Open(1, policy_.settings.ringBufferMiB << 20, policy_.baseName.c_str());
        ringReady_ = ring_.IsMapped();
    }
    if (policy_.createStats && !stats_.header()) stats_.create(policy_.baseName.c_str());

    auto reply = std::make_unique<RegisterReply>();
    std::memset(reply.get(), 0, sizeof *reply);
    reply->code = policy_.registerReplyCode;
    std::strncpy(reply->baseName, policy_.baseName.c_str(), sizeof reply->baseName - 1);
    reply->instanceId = policy_.instanceId;
    reply->settings = policy_.settings;
    channel.send(reply.get(), sizeof *reply, tag);
    SetEvent(registered_);
}

void SessionServer::OnMessage(MessageChannel& channel, const std::uint8_t* message, std::uint32_t size,
                              std::uint32_t tag) {
    if (size == 0) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tags_.push_back(tag);
    }
    switch (message[0]) {
        case kCodeRegister:
            OnRegister(channel, message, size, tag);
            break;
        case kCodeInstanceReady:
            ++readyCount_;
            Reply(channel, policy_.readyStatus, tag);
            break;
        case kCodeInstanceFinished:
            ++finishedCount_;
            Reply(channel, policy_.finishedStatus, tag);
            SetEvent(finished_);
            break;
        case kCodeGrowStatsData: {
            ++growCount_;
            GrowStatsData request{};
            std::memcpy(&request, message, size < sizeof request ? size : sizeof request);
            Reply(channel, stats_.grow(request.bytesNeeded), tag);
            break;
        }
        default:
            Reply(channel, kStatusRefused, tag);
            break;
    }
}

std::vector<Register> SessionServer::registrations() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return registrations_;
}

std::vector<std::uint32_t> SessionServer::messageTags() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return tags_;
}

}  // namespace kestrel
