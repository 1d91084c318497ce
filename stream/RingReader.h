#pragma once
#include <cstdint>
#include <vector>

#include "stream/RingBuffer.h"

namespace kestrel {

// The draining side of a ring. It holds lockWord only while it reads the header (with the unwrap
// copy) and while Consume moves the offsets, never while the caller copies the bytes out, so the
// writer in the other process never sees a half-moved header and is held up as little as possible.
class RingReader {
public:
    struct Span {
        const uint8_t* data;
        uint32_t size;
    };

    // Unread bytes are handed out in slices of at most sliceSize, each given back to the writer as
    // soon as lockWord is free. While less than batchSize is unread, a round first waits for more
    // (or for a writer that needs room), so that a slow trickle does not keep taking lockWord.
    explicit RingReader(RingBuffer& ring, uint32_t sliceSize = 1u << 20, uint32_t batchSize = 0);

    // The writing process, when known: a writer that died holding lockWord would otherwise keep the
    // reader waiting for it forever.
    void WatchWriter(HANDLE process) { writer_ = process; }

    // Rounds copy the unread bytes into a buffer of the reader's own (up to holdLimit a round) and
    // give them back at once, and take a small rest under lockWord, so that the ring empties and
    // both offsets return to 0. The writer then keeps reusing the ring's first pages, which stay
    // mapped and cached, instead of walking through all of a large ring: every first write to a
    // page of the mapping is a page fault in the writing process (a file-backed one under Wine).
    void KeepRingShort(uint32_t holdLimit) { holdLimit_ = holdLimit; }

    // The unread bytes from the first one on that lie in one run: all of them, or those up to the
    // ring's end when the data wraps (the rest comes in the next round).
    Span Peek();
    // Gives size bytes back to the writer; wakes a writer waiting for room.
    void Release(uint32_t size);
    // Release, but only if lockWord is free right now.
    bool TryRelease(uint32_t size);
    // Waits up to waitMs for a writer that asks for room; true when one did.
    bool WaitForWriter(uint32_t waitMs);

    // One round: hands every unread byte to sink(const uint8_t*, uint32_t) and gives it back. Waits
    // up to waitMs first when less than the batch size is unread. Returns the bytes handed over.
    template <class Sink>
    uint32_t DrainOnce(Sink&& sink, uint32_t waitMs) {
        uint32_t unread = ring_.GetUsedSize();  // read without lockWord: only a hint
        bool writerAsked = (unread == 0 || unread < batchSize_) && WaitForWriter(waitMs);
        uint32_t handed = 0;
        if (holdLimit_ > 0) {
            held_.clear();
            // Each pass copies what the writer added while the last one copied, a few times less.
            for (int pass = 0; pass < kHoldPasses; ++pass) {
                if (TakeRestAndRewind()) break;
                Span span = Peek();
                if (span.size == 0) break;
                if (held_.size() + span.size > holdLimit_) {
                    // Too much to hold: hand it over from the ring itself.
                    handed += HandHeld(sink);
                    handed += HandSpan(sink, span);
                    break;
                }
                held_.insert(held_.end(), span.data, span.data + span.size);
                Release(span.size);
            }
            handed += HandHeld(sink);
        } else {
            for (int run = 0; run < 2; ++run) {  // data that wraps comes in two runs
                Span span = Peek();
                if (span.size == 0) break;
                handed += HandSpan(sink, span);
            }
        }
        if (handed == 0 && writerAsked) Release(0);  // room asked for in an empty ring: answer at once
        return handed;
    }

private:
    // A rest up to this size is copied with lockWord held: a few microseconds of the writer's time.
    static constexpr uint32_t kRestSize = 64u << 10;
    static constexpr int kHoldPasses = 8;

    // The writer holds lockWord for whole records: give slices back whenever it is free in
    // between, so that the writer fills the ring while we copy out, and wait for it only at the end.
    template <class Sink>
    uint32_t HandSpan(Sink& sink, Span span) {
        uint32_t pending = 0;
        for (uint32_t done = 0; done < span.size;) {
            uint32_t n = span.size - done < sliceSize_ ? span.size - done : sliceSize_;
            sink(span.data + done, n);
            done += n;
            pending += n;
            if (done < span.size && TryRelease(pending)) pending = 0;
        }
        Release(pending);
        return span.size;
    }
    template <class Sink>
    uint32_t HandHeld(Sink& sink) {
        const auto size = static_cast<uint32_t>(held_.size());
        if (size > 0) sink(held_.data(), size);
        held_.clear();
        return size;
    }
    // With at most kRestSize unread (the hint says so first, without lockWord): copies all of it
    // into held_ under lockWord and consumes it, which empties the ring. False when more is unread
    // or the ring is already empty.
    bool TakeRestAndRewind();

    void Lock();
    void ConsumeAndUnlock(uint32_t size);  // lockWord held

    RingBuffer& ring_;
    HANDLE writer_ = nullptr;
    uint32_t sliceSize_;
    uint32_t batchSize_;
    uint32_t holdLimit_ = 0;
    std::vector<uint8_t> held_;
};

}  // namespace kestrel
