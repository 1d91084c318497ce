#include "stream/RingReader.h"

namespace kestrel {

RingReader::RingReader(RingBuffer& ring, uint32_t sliceSize, uint32_t batchSize)
    : ring_(ring), sliceSize_(sliceSize ? sliceSize : 1), batchSize_(batchSize) {}

// Data that wraps is taken in two rounds, the part up to the ring's end first, rather than through
// the unwrap area: the writer marks the ring wrapped again with every write below readOffset, so
// each read of a full ring would copy the whole head again, with lockWord held.
void RingReader::Lock() {
    if (!writer_) {
        ring_.Lock();
        return;
    }
    for (unsigned tries = 1; !ring_.TryLock(); ++tries) {
        // Nobody else takes lockWord once the writer is gone: what it held is ours.
        if (tries % 64 == 0 && WaitForSingleObject(writer_, 0) == WAIT_OBJECT_0) {
            ring_.TakeAbandonedLock();
            return;
        }
        Sleep(0);
    }
}

RingReader::Span RingReader::Peek() {
    Lock();
    uint32_t size = 0;
    const uint8_t* begin = ring_.GetContiguousRead(&size);
    ring_.Unlock();
    return Span{begin, size};
}

void RingReader::Release(uint32_t size) {
    Lock();
    ConsumeAndUnlock(size);
}

bool RingReader::TryRelease(uint32_t size) {
    if (!ring_.TryLock()) return false;
    ConsumeAndUnlock(size);
    return true;
}

// The offsets move under lockWord; DUMPED is set after it, outside the writer's way.
void RingReader::ConsumeAndUnlock(uint32_t size) {
    ring_.MoveReadOffset(size);
    ring_.Unlock();
    SetEvent(ring_.DumpedEvent());
}

bool RingReader::TakeRestAndRewind() {
    const uint32_t hint = ring_.GetUsedSize();
    if (hint == 0 || hint > kRestSize) return false;
    Lock();
    const uint32_t used = ring_.GetUsedSize();
    if (used == 0 || used > kRestSize) {
        ring_.Unlock();
        return false;
    }
    // Up to the ring's end, then (when it wraps) from its start; consuming the first run moves
    // readOffset to the start, and consuming the rest empties the ring.
    for (uint32_t taken = 0; taken < used;) {
        uint32_t size = 0;
        const uint8_t* run = ring_.GetContiguousRead(&size);
        if (size == 0) break;
        held_.insert(held_.end(), run, run + size);
        ring_.MoveReadOffset(size);
        taken += size;
    }
    ring_.Unlock();
    SetEvent(ring_.DumpedEvent());
    return true;
}

bool RingReader::WaitForWriter(uint32_t waitMs) {
    return ring_.FullEvent() != nullptr && WaitForSingleObject(ring_.FullEvent(), waitMs) == WAIT_OBJECT_0;
}

}  // namespace kestrel
