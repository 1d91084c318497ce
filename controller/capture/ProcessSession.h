// One registered process of a capture session: its ring, its statistics blocks and what it reported.
// Every process has its own, so that records of two processes never meet in one stream.
#pragma once
#include <windows.h>
#include <atomic>
#include <cstdint>
#include <string>

#include "channel/Register.h"
#include "channel/StatsChannel.h"
#include "stream/RingBuffer.h"

namespace kestrel {

struct ProcessSession {
    ProcessSession() = default;
    ~ProcessSession() {
        if (process) CloseHandle(process);
    }
    ProcessSession(const ProcessSession&) = delete;
    ProcessSession& operator=(const ProcessSession&) = delete;

    Register registration{};
    std::uint32_t instanceId = 0;
    std::string baseName;  // of its ring and statistics blocks
    RingBuffer ring;
    bool ringReady = false;
    StatsChannel stats;
    HANDLE process = nullptr;  // to wait for its end and to stop it; null when it could not be opened
    std::atomic<bool> ready{false}, finished{false};

    std::uint32_t processId() const { return registration.processId; }
    // Whether the process has ended (or cannot be watched, and has reported its finish).
    bool Ended() const { return process ? WaitForSingleObject(process, 0) == WAIT_OBJECT_0 : finished.load(); }
};

}  // namespace kestrel
