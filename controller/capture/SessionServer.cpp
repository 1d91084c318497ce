#include "controller/capture/SessionServer.h"

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
    auto session = std::make_unique<ProcessSession>();
    std::memcpy(&session->registration, message, size < sizeof session->registration ? size : sizeof session->registration);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        registrations_.push_back(session->registration);
        session->instanceId = policy_.instanceId + static_cast<std::uint32_t>(sessions_.size());
        session->baseName = sessions_.empty() ? policy_.baseName
                                              : policy_.baseName + "-" + std::to_string(session->processId());
    }
    session->process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE,
                                   session->processId());
    // Everything named in the reply exists before the reply is sent.
    if (policy_.createRing) {
        session->ring.Open(1, policy_.settings.ringBufferMiB << 20, session->baseName.c_str());
        session->ringReady = session->ring.IsMapped();
    }
    if (policy_.createStats) session->stats.create(session->baseName.c_str());

    auto reply = std::make_unique<RegisterReply>();
    std::memset(reply.get(), 0, sizeof *reply);
    reply->code = policy_.registerReplyCode;
    std::strncpy(reply->baseName, session->baseName.c_str(), sizeof reply->baseName - 1);
    reply->instanceId = session->instanceId;
    reply->settings = policy_.settings;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sessions_.push_back(std::move(session));
    }
    channel.send(reply.get(), sizeof *reply, tag);
    SetEvent(registered_);
}

ProcessSession* SessionServer::SessionOf(std::uint32_t instanceId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& session : sessions_)
        if (session->instanceId == instanceId) return session.get();
    return nullptr;
}

std::size_t SessionServer::sessionCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sessions_.size();
}

ProcessSession* SessionServer::session(std::size_t index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return index < sessions_.size() ? sessions_[index].get() : nullptr;
}

RingBuffer* SessionServer::ring() {
    ProcessSession* first = session(0);
    return first && first->ringReady ? &first->ring : nullptr;
}

StatsChannel& SessionServer::stats() {
    ProcessSession* first = session(0);
    return first ? first->stats : noStats_;
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
            if (ProcessSession* session = SessionOf(tag)) session->ready = true;
            Reply(channel, policy_.readyStatus, tag);
            break;
        case kCodeInstanceFinished:
            ++finishedCount_;
            if (ProcessSession* session = SessionOf(tag)) session->finished = true;
            Reply(channel, policy_.finishedStatus, tag);
            SetEvent(finished_);
            break;
        case kCodeGrowStatsData: {
            ++growCount_;
            GrowStatsData request{};
            std::memcpy(&request, message, size < sizeof request ? size : sizeof request);
            ProcessSession* session = SessionOf(tag);
            Reply(channel, session ? session->stats.grow(request.bytesNeeded) : kStatusRefused, tag);
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
