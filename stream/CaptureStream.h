#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "stream/PerformanceClock.h"
#include "stream/RingBuffer.h"

namespace kestrel {

// Turns the capturer's record operations into the record stream and puts it into the shared ring.
// Each recorded call runs between AcquireLock and ReleaseLock, so the application's threads write
// one at a time and a record is never interleaved with another.
class CaptureStream {
public:
    static constexpr uint32_t kShortWrite = 3;

    CaptureStream();
    ~CaptureStream();
    CaptureStream(const CaptureStream&) = delete;
    CaptureStream& operator=(const CaptureStream&) = delete;

    // Opens the ring that the controlling process created and writes the opening records. A ring
    // that cannot be opened is not reported: every later write then comes back short.
    uint32_t Init(const char* ringName, uint32_t apiType, uint32_t capacity);
    // One 16-byte header with the performance counter's value now. 0, or kShortWrite.
    uint32_t WriteRecordHeader(uint32_t id, uint32_t payloadSize);
    // Payload bytes, in pieces of at most the ring's capacity. Size 0 or no data writes nothing.
    uint32_t WriteBytes(uint32_t size, const void* data);
    void AcquireLock();
    void ReleaseLock();
    // At shutdown: frees both lock words even if a thread ended while holding them.
    void ReleaseLocksForShutdown();
    // True once Init has mapped the controlling process's ring.
    bool RingOpen() const { return ring_ && ring_->IsMapped(); }

private:
    template <class Payload>
    uint32_t WriteRecord(const Payload& payload);
    uint32_t WriteOpeningRecords(uint32_t apiType);
    void ShareClock(const char* ringName);
    void UnshareClock();

    uint32_t attached_ = 1;
    std::unique_ptr<RingBuffer> ring_;
    std::unique_ptr<std::atomic<uint32_t>> streamLock_;  // 0 free, 1 held
    uint32_t chunkSize_ = 0;
    PerformanceClock clock_;  // read under the lock, so time stamps follow stream order
    HANDLE clockMapping_ = nullptr;
    int64_t* sharedLast_ = nullptr;  // the last time stamp written into the ring by any process
};

}  // namespace kestrel
