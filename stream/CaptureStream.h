#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>

#include "stream/InlineCopy.h"
#include "stream/PerformanceClock.h"
#include "stream/RecordHeader.h"
#include "stream/RingBuffer.h"
#include "stream/StreamingCopy.h"

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
    // A header and the first headSize bytes of its payload in one ring write: `record` holds room
    // for the header (kHeaderRoom bytes, filled here) and then those bytes. 0, or kShortWrite.
    static constexpr uint32_t kHeaderRoom = 16;
    __attribute__((always_inline)) uint32_t WriteRecord(uint32_t id, uint32_t payloadSize, uint8_t* record,
                                                        uint32_t headSize) {
        return WriteRecord(id, payloadSize, record, headSize, 0, nullptr);
    }
    // The same with a data block of blockSize bytes from `block` after those bytes, still one ring
    // write. The common case, a thread that holds lockWord and a record that fits before the ring's
    // end, is inlined and goes straight into the ring.
    __attribute__((always_inline)) uint32_t WriteRecord(uint32_t id, uint32_t payloadSize, uint8_t* record,
                                                        uint32_t headSize, uint32_t blockSize, const void* block) {
        RingBuffer::Room room;
        const uint32_t size = kHeaderRoom + headSize + blockSize;
        if (__builtin_expect(owner_.load(std::memory_order_relaxed) == kRingOwner, 1) &&
            __builtin_expect(blockSize < kStreamingCopyMin && (block != nullptr || blockSize == 0), 1) &&
            ring_->Reserve(size, room)) {
            const RecordHeader header{id, payloadSize, clock_.Now()};
            __builtin_memcpy(room.at, &header, sizeof header);
            CopyBytes(room.at + kHeaderRoom, record + kHeaderRoom, headSize);
            if (blockSize != 0) CopyBytes(room.at + kHeaderRoom + headSize, block, blockSize);
            ring_->Commit(room, size);
            return 0;
        }
        return WriteRecordThroughRing(id, payloadSize, record, headSize, blockSize, block);
    }
    // A record laid out straight into the ring: header, then fill(address) writes the headSize bytes
    // that follow it, then the block. Only the common case of WriteRecord: false, with nothing
    // written, when the record must go through WriteRecordThroughRing.
    // With a lead (kLeadRoom bytes: a whole record of 8 payload bytes whose header's size the caller
    // has set), that record goes first, in the same ring write and under the same time stamp.
    static constexpr uint32_t kLeadRoom = 24;
    template <class Fill>
    __attribute__((always_inline)) bool WriteInPlace(uint32_t id, uint32_t headSize, Fill& fill, uint32_t blockSize,
                                                     const void* block, const uint8_t* lead = nullptr) {
        RingBuffer::Room room;
        const uint32_t leadSize = lead != nullptr ? kLeadRoom : 0;
        const uint32_t size = leadSize + kHeaderRoom + headSize + blockSize;
        if (__builtin_expect(owner_.load(std::memory_order_relaxed) != kRingOwner, 0) ||
            __builtin_expect(blockSize >= kStreamingCopyMin || (block == nullptr && blockSize != 0), 0) ||
            !ring_->Reserve(size, room))
            return false;
        const uint32_t payloadSize = headSize + blockSize;
        const int64_t now = clock_.Now();
        if (lead != nullptr) {
            __builtin_memcpy(room.at, lead, kLeadRoom);
            __builtin_memcpy(room.at + 8, &now, 8);
            room.at += kLeadRoom;
        }
        __builtin_memcpy(room.at, &id, 4);
        __builtin_memcpy(room.at + 4, &payloadSize, 4);
        __builtin_memcpy(room.at + 8, &now, 8);
        fill(room.at + kHeaderRoom);
        if (blockSize != 0) CopyBytes(room.at + kHeaderRoom + headSize, block, blockSize);
        room.at -= leadSize;
        ring_->Commit(room, size);
        return true;
    }
    // WriteRecord's every case but the inlined one.
    uint32_t WriteRecordThroughRing(uint32_t id, uint32_t payloadSize, uint8_t* record, uint32_t headSize,
                                    uint32_t blockSize, const void* block);
    // The current time stamp, for records laid out by the caller (under the lock, like every record's).
    int64_t TimeStamp() { return clock_.Now(); }
    // A record whose first bytes are one plain struct, in one ring write; `declared` is the payload's
    // whole size when more follows.
    template <class Payload>
    uint32_t WriteWholeRecord(uint32_t id, const Payload& payload, uint32_t declared = sizeof(Payload)) {
        uint8_t record[kHeaderRoom + sizeof payload];
        std::memcpy(record + kHeaderRoom, &payload, sizeof payload);
        return WriteRecord(id, declared, record, sizeof payload);
    }
    // Payload bytes, in pieces of at most the ring's capacity. Size 0 or no data writes nothing.
    uint32_t WriteBytes(uint32_t size, const void* data);
    // The process's threads and the ring's reader take turns on one interlocked operation: the
    // ring's lockWord, with a process-local owner flag behind it for a writer that gave lockWord up
    // while it waits for room.
    __attribute__((always_inline)) void AcquireLock() {
        if (__builtin_expect(!TakeRing(), 0)) AcquireLockSlow();
    }
    __attribute__((always_inline)) void ReleaseLock() {
        RingBuffer* const ring = ring_.get();  // loaded once: the stores below would make it load again
        if (__builtin_expect(owner_.load(std::memory_order_relaxed) == kRingOwner && !ring->Orphaned(), 1)) {
            owner_.store(kNoOwner, std::memory_order_relaxed);
            // A release store: owner_ is cleared before another thread can take lockWord.
            ring->ReleaseLockWord();
            return;
        }
        ReleaseLockSlow();
    }
    // At shutdown: frees both lock words even if a thread ended while holding them.
    void ReleaseLocksForShutdown();
    // True once Init has mapped the controlling process's ring.
    bool RingOpen() const { return ring_ && ring_->IsMapped(); }

private:
    uint32_t WriteOpeningRecords(uint32_t apiType);
    void ShareClock(const char* ringName);
    void UnshareClock();

    // The part of the ring whose pages Init makes present (the whole ring when it is smaller).
    static constexpr uint32_t kTouchedHead = 16u << 20;
    // Who holds the stream: nobody, a thread that took lockWord, or one that took the process-local
    // stream lock (no ring mapped, or the reader is gone).
    static constexpr uint32_t kNoOwner = 0;
    static constexpr uint32_t kRingOwner = 1;
    static constexpr uint32_t kStreamLockOwner = 2;

    // One attempt at lockWord; true when it was taken and the stream is this thread's. Taken while
    // another thread of ours owns the stream, it is let go again.
    __attribute__((always_inline)) bool TakeRing() {
        if (ring_ == nullptr || !ring_->TryLockMapped()) return false;
        if (owner_.load(std::memory_order_acquire) == kNoOwner && !useStreamLock_.load(std::memory_order_relaxed)) {
            owner_.store(kRingOwner, std::memory_order_relaxed);
            return true;
        }
        ring_->Unlock();  // the owner waits for room with lockWord given up: wait for its call to end
        return false;
    }
    void AcquireLockSlow();
    void ReleaseLockSlow();
    bool LockWordAbandoned(uint32_t& suspectSince);

    uint32_t attached_ = 1;
    std::unique_ptr<RingBuffer> ring_;
    std::unique_ptr<std::atomic<uint32_t>> streamLock_;  // 0 free, 1 held
    // Written only by the thread that holds lockWord or the stream lock; read by others as a hint.
    std::atomic<uint32_t> owner_{kNoOwner};
    // Once the reader is gone, lockWord keeps nobody apart: the threads take turns on streamLock_.
    std::atomic<bool> useStreamLock_{false};
    uint32_t chunkSize_ = 0;
    PerformanceClock clock_;  // read under the lock, so time stamps follow stream order
    HANDLE clockMapping_ = nullptr;
    int64_t* sharedLast_ = nullptr;  // the last time stamp written into the ring by any process
};

}  // namespace kestrel
