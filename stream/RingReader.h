#pragma once
#include <cstdint>

#include "stream/RingBuffer.h"

namespace kestrel {

// The draining side of a ring. It holds lockWord only while it reads the header (with the unwrap
// copy) and while Consume moves the offsets, never while the caller copies the bytes out, so a
// writer in the other process is held up as little as possible and never sees a half-moved header.
class RingReader {
public:
    struct Span {
        const uint8_t* data;
        uint32_t size;
    };

    // Unread bytes are handed out and consumed in slices of at most sliceSize, so that a waiting
    // writer gets room before the whole run has been copied out.
    explicit RingReader(RingBuffer& ring, uint32_t sliceSize = 1u << 20);

    // All unread bytes as one contiguous run.
    Span Peek();
    // Gives size bytes back to the writer; wakes a writer waiting for room.
    void Release(uint32_t size);
    // Waits up to waitMs for a writer that asks for room; true when one did.
    bool WaitForWriter(uint32_t waitMs);

    // One round: hands every unread byte to sink(const uint8_t*, uint32_t) and consumes it; when
    // nothing is unread, waits up to waitMs for the writer first. Returns the bytes handed over.
    template <class Sink>
    uint32_t DrainOnce(Sink&& sink, uint32_t waitMs) {
        Span span = Peek();
        if (span.size == 0) {
            if (!WaitForWriter(waitMs)) return 0;
            span = Peek();
            if (span.size == 0) {
                Release(0);  // a writer asked for room in an empty ring: answer at once
                return 0;
            }
        }
        for (uint32_t done = 0; done < span.size;) {
            uint32_t n = span.size - done < sliceSize_ ? span.size - done : sliceSize_;
            sink(span.data + done, n);
            Release(n);
            done += n;
        }
        return span.size;
    }

private:
    RingBuffer& ring_;
    uint32_t sliceSize_;
};

}  // namespace kestrel
