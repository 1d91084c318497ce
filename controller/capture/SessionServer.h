// The controlling process's side of a capture session: serves the session channel, and on each
// recorder's registration creates a ring and statistics blocks of that process's own (the first
// process under the capture's base name, later ones under "<base>-<process id>") and hands over the
// settings.
#pragma once
#include <windows.h>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "channel/CaptureSettings.h"
#include "channel/ChannelHandler.h"
#include "channel/ChannelServerThread.h"
#include "channel/Register.h"
#include "channel/StatsChannel.h"
#include "controller/capture/ProcessSession.h"

namespace kestrel {

// What the server answers; the defaults make a capture run. Tests change them to see the
// recorder's failure paths.
struct SessionPolicy {
    CaptureSettings settings{};
    std::string baseName;            // the capture's shared-object base name
    std::uint32_t instanceId = 1;    // the first process's; later ones count on from it
    std::uint8_t registerReplyCode = 2;
    bool createRing = true;
    bool createStats = true;
    std::uint8_t readyStatus = 0;
    std::uint8_t finishedStatus = 0;
};

class SessionServer : public ChannelHandler {
public:
    static constexpr const char* kSessionChannelName = "Local\\TRK_CaptureSessionMemory";

    SessionServer() = default;
    ~SessionServer() override;
    SessionServer(const SessionServer&) = delete;
    SessionServer& operator=(const SessionServer&) = delete;

    // Fails with a one-line message when another capture session already serves the channel.
    bool Start(const SessionPolicy& policy, std::string& error);
    void Stop();

    void OnMessage(MessageChannel& channel, const std::uint8_t* message, std::uint32_t size, std::uint32_t tag) override;

    // Signalled when a recorder has registered (its ring exists from then on) and when one has finished.
    HANDLE registeredEvent() const { return registered_; }
    HANDLE finishedEvent() const { return finished_; }
    // Registered processes in the order they registered; a session, once listed, stays until Stop.
    std::size_t sessionCount() const;
    ProcessSession* session(std::size_t index) const;
    // The first registered process's ring and statistics (the launched program's in a capture).
    RingBuffer* ring();
    StatsChannel& stats();
    const SessionPolicy& policy() const { return policy_; }

    // What the recorders sent, for reports and tests.
    std::vector<Register> registrations() const;
    std::vector<std::uint32_t> messageTags() const;
    int readyCount() const { return readyCount_; }
    int finishedCount() const { return finishedCount_; }
    int growCount() const { return growCount_; }

private:
    void Reply(MessageChannel& channel, std::uint8_t status, std::uint32_t tag);
    void OnRegister(MessageChannel& channel, const std::uint8_t* message, std::uint32_t size, std::uint32_t tag);

    ProcessSession* SessionOf(std::uint32_t instanceId) const;

    SessionPolicy policy_;
    ChannelServerThread server_;
    StatsChannel noStats_;  // answers stats() before any process registered
    HANDLE registered_ = nullptr;
    HANDLE finished_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<ProcessSession>> sessions_;
    std::vector<Register> registrations_;
    std::vector<std::uint32_t> tags_;
    std::atomic<int> readyCount_{0}, finishedCount_{0}, growCount_{0};
};

}  // namespace kestrel
