#include "stream/CaptureStream.h"

#include <windows.h>

#include <emmintrin.h>

#include <cstdio>
#include <cstring>

#include "environment/SystemDescription.h"
#include "stream/ApiTypePayload.h"
#include "stream/FormatVersionPayload.h"
#include "stream/RecordHeader.h"
#include "stream/RecorderVersionPayload.h"
#include "stream/SystemDescriptionPayload.h"

namespace kestrel {

static_assert(CaptureStream::kHeaderRoom == sizeof(RecordHeader));

CaptureStream::CaptureStream() = default;
CaptureStream::~CaptureStream() { UnshareClock(); }

// Every process that writes into the ring keeps its own clock; a last time stamp shared through
// "<ring name>_CLOCK" and read under the ring's lock word keeps all of them in stream order.
void CaptureStream::ShareClock(const char* ringName) {
    char name[RingBuffer::kNameSize];
    int length = std::snprintf(name, sizeof name, "%s_CLOCK", ringName);
    if (length < 0 || length >= static_cast<int>(sizeof name)) return;  // the stream's own order still holds
    clockMapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(int64_t), name);
    if (clockMapping_ == nullptr) return;
    sharedLast_ = static_cast<int64_t*>(MapViewOfFile(clockMapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(int64_t)));
    if (sharedLast_ == nullptr) {
        UnshareClock();
        return;
    }
    clock_.ShareLastValue(sharedLast_);
}

void CaptureStream::UnshareClock() {
    clock_.ShareLastValue(nullptr);
    if (sharedLast_ != nullptr) UnmapViewOfFile(sharedLast_);
    if (clockMapping_ != nullptr) CloseHandle(clockMapping_);
    sharedLast_ = nullptr;
    clockMapping_ = nullptr;
}

uint32_t CaptureStream::Init(const char* ringName, uint32_t apiType, uint32_t capacity) {
    chunkSize_ = capacity;
    attached_ = 1;
    streamLock_ = std::make_unique<std::atomic<uint32_t>>(0);
    ring_ = std::make_unique<RingBuffer>();
    ring_->Open(0, capacity, ringName);
    // Every first write to a page of the mapping is a page fault (under Wine a file-backed one, some
    // microseconds): taken here, once, rather than inside the first calls. The reader empties the
    // ring often, so the writer mostly stays within this head.
    ring_->TouchDataArea(kTouchedHead);
    UnshareClock();
    if (ring_->IsMapped()) ShareClock(ringName);
    // Under the locks like any record: the reader may hold lockWord, and a full ring's wait hands it over.
    AcquireLock();
    WriteOpeningRecords(apiType);
    ReleaseLock();
    return 0;
}

uint32_t CaptureStream::WriteOpeningRecords(uint32_t apiType) {
    uint32_t result = WriteWholeRecord(FormatVersionPayload::kId, FormatVersionPayload{FormatVersionPayload::kCurrent});
    if (result == 0)
        result = WriteWholeRecord(RecorderVersionPayload::kId, RecorderVersionPayload{RecorderVersionPayload::kCurrent, 0});
    if (result == 0)
        result = WriteWholeRecord(ApiTypePayload::kId, ApiTypePayload{apiType, ApiTypePayload::kPointerBits});
    if (result == 0) {
        SystemDescriptionPayload description;
        SystemDescription(description.text);
        result = WriteWholeRecord(SystemDescriptionPayload::kId, description);
    }
    return result;
}

uint32_t CaptureStream::WriteRecordHeader(uint32_t id, uint32_t payloadSize) {
    uint8_t header[kHeaderRoom];
    return WriteRecordThroughRing(id, payloadSize, header, 0, 0, nullptr);
}

// The record waits for room, wraps, or goes to a ring we do not hold: Write's full rules, the
// header and head in one ring write, then the block.
__attribute__((noinline)) uint32_t CaptureStream::WriteRecordThroughRing(uint32_t id, uint32_t payloadSize,
                                                                        uint8_t* record, uint32_t headSize,
                                                                        uint32_t blockSize, const void* block) {
    const RecordHeader header{id, payloadSize, clock_.Now()};
    std::memcpy(record, &header, sizeof header);
    const uint32_t result = WriteBytes(kHeaderRoom + headSize, record);
    if (result != 0 || blockSize == 0) return result;
    if (block != nullptr) return WriteBytes(blockSize, block);
    static const uint8_t kZeros[4096] = {};  // a missing block's bytes
    for (uint32_t done = 0; done < blockSize;) {
        const uint32_t piece = blockSize - done < sizeof kZeros ? blockSize - done : sizeof kZeros;
        if (WriteBytes(piece, kZeros) != 0) return kShortWrite;
        done += piece;
    }
    return 0;
}

uint32_t CaptureStream::WriteBytes(uint32_t size, const void* data) {
    if (size == 0 || data == nullptr) return 0;
    if (ring_ == nullptr || chunkSize_ == 0) return kShortWrite;
    auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        uint32_t piece = size < chunkSize_ ? size : chunkSize_;
        // The stream made its ring itself, a RingBuffer exactly: no call through the table.
        if (ring_->RingBuffer::Write(bytes, piece) != piece) return kShortWrite;
        bytes += piece;
        size -= piece;
    }
    return 0;
}

// Taking lockWord failed, or it was taken while another thread of ours owns the stream. The reader
// holds lockWord only for a few loads and stores, another thread of ours for a whole call: spin
// briefly, then give the processor up.
__attribute__((noinline)) void CaptureStream::AcquireLockSlow() {
    if (!attached_ || streamLock_ == nullptr) return;
    uint32_t suspectSince = 0;
    for (uint32_t tries = 1;; ++tries) {
        if (!ring_->IsMapped() || useStreamLock_.load(std::memory_order_acquire)) {
            while (streamLock_->exchange(1, std::memory_order_acquire) == 1) Sleep(0);
            owner_.store(kStreamLockOwner, std::memory_order_relaxed);
            return;
        }
        if (TakeRing()) return;
        if (tries % 256 == 0 && LockWordAbandoned(suspectSince)) {
            useStreamLock_.store(true, std::memory_order_release);
            continue;
        }
        if (tries < 64) {
            _mm_pause();
        } else {
            Sleep(0);
        }
    }
}

// A reader that died holding lockWord never gives it back, and then only the process-local lock can
// keep our threads apart. lockWord held while no thread of ours owns the stream and the reader is
// gone points that way; a thread of ours can only be between taking lockWord and marking itself
// owner for a few instructions, so the sign must last a full second before it is believed.
bool CaptureStream::LockWordAbandoned(uint32_t& suspectSince) {
    if (owner_.load(std::memory_order_relaxed) != kNoOwner || !ring_->ReaderGone()) {
        suspectSince = 0;
        return false;
    }
    const uint32_t now = GetTickCount() | 1;  // 0 means "not suspected"
    if (suspectSince == 0) suspectSince = now;
    return now - suspectSince >= 1000;
}

void CaptureStream::ReleaseLockSlow() {
    if (!attached_ || streamLock_ == nullptr) return;
    const uint32_t owner = owner_.load(std::memory_order_relaxed);
    if (owner == kRingOwner) {
        // The reader is gone. Its lockWord guards nothing any more, and a hold taken back while it
        // went (RingBuffer::Lock takes a dead reader's word by force) may not have been ours alone:
        // from here on the threads take turns on the process-local lock. lockWord is left as it is.
        useStreamLock_.store(true, std::memory_order_seq_cst);
        owner_.store(kNoOwner, std::memory_order_release);
        return;
    }
    if (owner != kStreamLockOwner) return;  // not held
    owner_.store(kNoOwner, std::memory_order_release);
    streamLock_->store(0, std::memory_order_release);
}

void CaptureStream::ReleaseLocksForShutdown() {
    if (!attached_ || streamLock_ == nullptr) return;
    owner_.store(kNoOwner, std::memory_order_relaxed);
    ring_->Unlock();
    streamLock_->store(0, std::memory_order_release);
}

}  // namespace kestrel
