#include "controller/capture/RingDrainer.h"

#include "stream/RingReader.h"

namespace kestrel {

namespace {
constexpr std::uint32_t kSliceSize = 1u << 20;
// What a round copies out of the ring before it hands bytes on: more than a round's worth of small
// calls, little beside the ring itself.
constexpr std::uint32_t kHoldLimit = 16u << 20;

// Below this much unread a round first waits (for the interval, or for a writer that asks for room):
// a reader that took every few bytes the moment they came would take lockWord, and the header's
// cache line, from the application thousands of times a second, and wake as often on a machine
// where it shares the cores with it.
std::uint32_t BatchSize(std::uint32_t capacity) {
    const std::uint32_t batch = capacity / 16;
    return batch > kSliceSize ? kSliceSize : batch;
}
}  // namespace

void RingDrainer::Start(RingBuffer& ring, Sink sink, std::uint32_t intervalMs, HANDLE writerProcess, RoundEnd roundEnd) {
    stop_ = false;
    thread_ = std::thread([this, &ring, sink = std::move(sink), intervalMs, writerProcess, roundEnd = std::move(roundEnd)] {
        RingReader reader(ring, kSliceSize, BatchSize(ring.GetCapacity()));
        reader.WatchWriter(writerProcess);
        reader.KeepRingShort(kHoldLimit);
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
