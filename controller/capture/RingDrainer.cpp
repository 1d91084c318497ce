#include "controller/capture/RingDrainer.h"

#include "stream/RingReader.h"

namespace kestrel {

void RingDrainer::Start(RingBuffer& ring, Sink sink, std::uint32_t intervalMs, HANDLE writerProcess, RoundEnd roundEnd) {
    stop_ = false;
    thread_ = std::thread([this, &ring, sink = std::move(sink), intervalMs, writerProcess, roundEnd = std::move(roundEnd)] {
        RingReader reader(ring);
        reader.WatchWriter(writerProcess);
        auto counted = [&](const std::uint8_t* data, std::uint32_t size) {
            sink(data, size);
            bytes_ += size;
        };
        auto round = [&](std::uint32_t waitMs) {
            const std::uint32_t handed = reader.DrainOnce(counted, waitMs);
            if (handed > 0 && roundEnd) roundEnd(handed);
            return handed;
        };
        while (!stop_) round(intervalMs);
        // The recorder has finished: take what is left, and answer a writer that still waits.
        while (round(0) != 0) {}
    });
}

void RingDrainer::Stop() {
    if (!thread_.joinable()) return;
    stop_ = true;
    thread_.join();
}

}  // namespace kestrel
