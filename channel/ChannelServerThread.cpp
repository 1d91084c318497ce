#include "channel/ChannelServerThread.h"

#include <memory>

namespace kestrel {

std::uint32_t ChannelServerThread::start(ChannelHandler& handler, const char* name) {
    if (channel_) return kStartFailed;
    channel_ = new MessageChannel;
    if (channel_->open(MessageChannel::kServer, name) != kChannelOk) {
        delete channel_;
        channel_ = nullptr;
        return kStartFailed;
    }
    handler_ = &handler;
    running_ = 1;
    char mutexName[MessageChannel::kNameSize];
    servingMutex_ = MessageChannel::ServingMutexName(mutexName, name) ? CreateMutexA(nullptr, FALSE, mutexName) : nullptr;
    serving_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, &ChannelServerThread::Serve, this, 0, nullptr);
    if (!thread_) {
        running_ = 0;
        delete channel_;
        channel_ = nullptr;
        return kStartFailed;
    }
    // Clients that open the channel from now on find the mutex held.
    if (serving_) WaitForSingleObject(serving_, kStopWaitMs);
    return 0;
}

DWORD ChannelServerThread::stop() {
    DWORD exitCode = 0;
    if (running_) {
        InterlockedExchange(&running_, 0);
        channel_->abort();
        WaitForSingleObject(thread_, kStopWaitMs);
        GetExitCodeThread(thread_, &exitCode);
        // A handler that does not come back (or a thread held at exit) must not hold up unload.
        if (exitCode == STILL_ACTIVE) {
            TerminateThread(thread_, kTerminatedExitCode);
            WaitForSingleObject(thread_, kStopWaitMs);
        }
    }
    if (thread_) CloseHandle(thread_);
    thread_ = nullptr;
    if (servingMutex_) CloseHandle(servingMutex_);
    if (serving_) CloseHandle(serving_);
    servingMutex_ = serving_ = nullptr;
    delete channel_;  // closes it
    channel_ = nullptr;
    return exitCode;
}

DWORD WINAPI ChannelServerThread::Serve(void* param) {
    auto* self = static_cast<ChannelServerThread*>(param);
    MessageChannel& channel = *self->channel_;
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[MessageChannel::kMaxPayload]);
    const bool holds = self->servingMutex_ && WaitForSingleObject(self->servingMutex_, 0) == WAIT_OBJECT_0;
    if (self->serving_) SetEvent(self->serving_);
    while (self->running_) {
        std::uint32_t size = 0, tag = 0;
        if (channel.receive(buffer.get(), &size, &tag) == kChannelOk)
            self->handler_->OnMessage(channel, buffer.get(), size, tag);
        Sleep(0);
    }
    if (holds) ReleaseMutex(self->servingMutex_);
    return 0;
}

}  // namespace kestrel
