#include "stream/RingReader.h"

namespace kestrel {

RingReader::RingReader(RingBuffer& ring, uint32_t sliceSize, uint32_t batchSize)
    : ring_(ring), sliceSize_(sliceSize ? sliceSize : 1), batchSize_(batchSize) {}

RingReader::Span RingReader::Peek() {
    ring_.Lock();
    const uint8_t* begin = ring_.GetReadPointer();
    const uint8_t* end = ring_.GetReadEnd();
    ring_.Unlock();
    return Span{begin, static_cast<uint32_t>(end - begin)};
}

void RingReader::Release(uint32_t size) {
    ring_.Lock();
    ring_.Consume(size);
    ring_.Unlock();
}

bool RingReader::TryRelease(uint32_t size) {
    if (!ring_.TryLock()) return false;
    ring_.Consume(size);
    ring_.Unlock();
    return true;
}

bool RingReader::WaitForWriter(uint32_t waitMs) {
    return ring_.FullEvent() != nullptr && WaitForSingleObject(ring_.FullEvent(), waitMs) == WAIT_OBJECT_0;
}

}  // namespace kestrel
