#include "controller/capture/RingDrainer.h"

#include "stream/RingReader.h"

namespace kestrel {

void RingDrainer::Start(RingBuffer& ring, Sink sink, std::uint32_t intervalMs, HANDLE writerProcess) {
    stop_ = false;
    thread_ = std::thread([this, &ring, sink = std::move(sink), intervalMs, writerProcess] {
        RingReader reader(ring);
        reader.WatchWriter(writerProcess);
        auto counted = [&](const std::uint8_t* data, std::uint32_t size) {
            sink(data, size);
            bytes_ += size;
        };
        while (!stop_) reader.DrainOnce(counted, intervalMs);
        // The recorder has finished: take what is left, and answer a writer that still waits.
        while (reader.DrainOnce(counted, 0) != 0) {}
    });
}

void RingDrainer::Stop() {
    if (!thread_.joinable()) return;
    stop_ = true;
    thread_.join();
}

}  // namespace kestrel
