// Drains a capture's ring on a thread of its own: whenever the recorder asks for room, whenever a
// batch has gathered, and on its own every few milliseconds, so that the application rarely waits.
#pragma once
#include <windows.h>
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "stream/RingBuffer.h"

namespace kestrel {

class RingDrainer {
public:
    using Sink = std::function<void(const std::uint8_t* data, std::uint32_t size)>;
    // After each round that handed bytes to the sink, with their count.
    using RoundEnd = std::function<void(std::uint32_t handed)>;

    RingDrainer() = default;
    ~RingDrainer() { Stop(); }
    RingDrainer(const RingDrainer&) = delete;
    RingDrainer& operator=(const RingDrainer&) = delete;

    // With the writing process's handle, a writer that dies holding the ring's lock cannot stall it.
    void Start(RingBuffer& ring, Sink sink, std::uint32_t intervalMs = 5, HANDLE writerProcess = nullptr,
               RoundEnd roundEnd = nullptr);
    // Drains what is left and ends the thread.
    void Stop();
    std::uint64_t bytesDrained() const { return bytes_; }

private:
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> bytes_{0};
};

}  // namespace kestrel
