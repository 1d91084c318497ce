#include "stream/CaptureStream.h"

#include <windows.h>

#include <cstdio>

#include "environment/SystemDescription.h"
#include "stream/ApiTypePayload.h"
#include "stream/FormatVersionPayload.h"
#include "stream/RecordHeader.h"
#include "stream/RecorderVersionPayload.h"
#include "stream/SystemDescriptionPayload.h"

namespace kestrel {

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
    UnshareClock();
    if (ring_->IsMapped()) ShareClock(ringName);
    // Under the locks like any record: the reader may hold lockWord, and a full ring's wait hands it over.
    AcquireLock();
    WriteOpeningRecords(apiType);
    ReleaseLock();
    return 0;
}

template <class Payload>
uint32_t CaptureStream::WriteRecord(const Payload& payload) {
    uint32_t result = WriteRecordHeader(Payload::kId, sizeof(payload));
    return result != 0 ? result : WriteBytes(sizeof(payload), &payload);
}

uint32_t CaptureStream::WriteOpeningRecords(uint32_t apiType) {
    uint32_t result = WriteRecord(FormatVersionPayload{FormatVersionPayload::kCurrent});
    if (result == 0) result = WriteRecord(RecorderVersionPayload{RecorderVersionPayload::kCurrent, 0});
    if (result == 0) result = WriteRecord(ApiTypePayload{apiType, ApiTypePayload::kPointerBits});
    if (result == 0) {
        SystemDescriptionPayload description;
        SystemDescription(description.text);
        result = WriteRecord(description);
    }
    return result;
}

uint32_t CaptureStream::WriteRecordHeader(uint32_t id, uint32_t payloadSize) {
    RecordHeader header{id, payloadSize, clock_.Now()};
    return WriteBytes(sizeof(header), &header);
}

uint32_t CaptureStream::WriteBytes(uint32_t size, const void* data) {
    if (size == 0 || data == nullptr) return 0;
    if (ring_ == nullptr || chunkSize_ == 0) return kShortWrite;
    auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        uint32_t piece = size < chunkSize_ ? size : chunkSize_;
        if (ring_->Write(bytes, piece) != piece) return kShortWrite;
        bytes += piece;
        size -= piece;
    }
    return 0;
}

void CaptureStream::AcquireLock() {
    if (!attached_ || streamLock_ == nullptr) return;
    while (streamLock_->exchange(1, std::memory_order_acquire) == 1) Sleep(0);
    ring_->Lock();
}

void CaptureStream::ReleaseLock() {
    if (!attached_ || streamLock_ == nullptr) return;
    ring_->Unlock();
    streamLock_->store(0, std::memory_order_release);  // an exchange would cost a second locked instruction
}

void CaptureStream::ReleaseLocksForShutdown() {
    if (!attached_ || streamLock_ == nullptr) return;
    ring_->Unlock();
    streamLock_->store(0, std::memory_order_release);
}

}  // namespace kestrel
