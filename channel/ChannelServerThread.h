// A thread of its own that serves a server channel: receives each request and hands it to a handler.
#pragma once
#include <windows.h>
#include <cstdint>

#include "channel/ChannelHandler.h"
#include "channel/MessageChannel.h"

namespace kestrel {

class ChannelServerThread {
public:
    static constexpr std::uint32_t kStartFailed = 1;
    static constexpr DWORD kStopWaitMs = 3000;
    static constexpr DWORD kTerminatedExitCode = STILL_ACTIVE;  // 259

    ChannelServerThread() = default;
    ~ChannelServerThread() { stop(); }
    ChannelServerThread(const ChannelServerThread&) = delete;
    ChannelServerThread& operator=(const ChannelServerThread&) = delete;

    // Opens a server channel of that name and starts serving it with the handler. Result 0, or 1 when
    // a channel already exists, the channel cannot be opened or the thread cannot be started.
    std::uint32_t start(ChannelHandler& handler, const char* name);

    // Ends the thread (a thread still running 3,000 ms after the abort is terminated), then closes
    // and frees the channel. Returns the thread's exit code: 0 when it ended by itself, 259 when it
    // was terminated, 0 as well when nothing ran.
    DWORD stop();

    bool running() const { return running_ != 0; }
    MessageChannel* channel() const { return channel_; }

private:
    static DWORD WINAPI Serve(void* self);

    MessageChannel* channel_ = nullptr;
    ChannelHandler* handler_ = nullptr;
    volatile LONG running_ = 0;
    HANDLE thread_ = nullptr;
    HANDLE servingMutex_ = nullptr;  // held by the serving thread; see MessageChannel::ServingMutexName
    HANDLE serving_ = nullptr;       // set once the thread holds it
};

}  // namespace kestrel
