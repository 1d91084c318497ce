#pragma once
#include <cstdint>

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
        for (int run = 0; run < 2; ++run) {  // data that wraps comes in two runs
            Span span = Peek();
            if (span.size == 0) break;
            // The writer holds lockWord for whole records: give slices back whenever it is free in
            // between, so that the writer fills the ring while we copy out, and wait for it only at the end.
            uint32_t pending = 0;
            for (uint32_t done = 0; done < span.size;) {
                uint32_t n = span.size - done < sliceSize_ ? span.size - done : sliceSize_;
                sink(span.data + done, n);
                done += n;
                pending += n;
                if (done < span.size && TryRelease(pending)) pending = 0;
            }
            Release(pending);
            handed += span.size;
        }
        if (handed == 0 && writerAsked) Release(0);  // room asked for in an empty ring: answer at once
        return handed;
    }

private:
    void Lock();
    void ConsumeAndUnlock(uint32_t size);  // lockWord held

    RingBuffer& ring_;
    HANDLE writer_ = nullptr;
    uint32_t sliceSize_;
    uint32_t batchSize_;
};

}  // namespace kestrel
