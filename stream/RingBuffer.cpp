#include "stream/RingBuffer.h"

#include <emmintrin.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "environment/BoundedText.h"
#include "stream/InlineCopy.h"
#include "stream/StreamingCopy.h"

namespace kestrel {

namespace {

constexpr uint32_t kHeaderSize = sizeof(RingBufferHeader);

// The header is shared with the other process: every access is a single 32-bit load or store.
uint32_t Load(uint32_t& field) { return std::atomic_ref<uint32_t>(field).load(std::memory_order_acquire); }
void Store(uint32_t& field, uint32_t value) { std::atomic_ref<uint32_t>(field).store(value, std::memory_order_release); }

void CopyIntoRing(uint8_t* dest, const uint8_t* src, uint32_t size) {
    if (size >= kStreamingCopyMin) {
        StreamingCopy(dest, src, size);
    } else {
        CopyBytes(dest, src, size);
    }
}

// Free bytes for offsets read once: readOffset - writeOffset when the write offset is the smaller, all
// of it when they are equal, capacity - writeOffset + readOffset when it is the larger.
uint32_t FreeBytes(uint32_t read, uint32_t write, uint32_t capacity) {
    if (write < read) return read - write;
    if (write == read) return capacity;
    return capacity - write + read;
}

// writeOffset == readOffset reads as empty, so the writer must never get there with data unread:
// a write must leave at least one byte free. Only with readOffset 0 may it take the last byte, since
// it then ends at writeOffset == capacity, which reads as full. That exception is what lets a piece
// of exactly the capacity pass (into an empty ring that the reader reset to offset 0).
bool FitsIn(uint32_t size, uint32_t read, uint32_t write, uint32_t capacity) {
    const uint32_t free = FreeBytes(read, write, capacity);
    return size < free || (size == free && read == 0);
}

}  // namespace

RingBuffer::RingBuffer() = default;

RingBuffer::~RingBuffer() {
    ReleaseMapping();
    ReleaseEvents();
}

void RingBuffer::ReleaseMapping() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
    if (mapping_ != nullptr) CloseHandle(mapping_);
    view_ = nullptr;
    mapping_ = nullptr;
    data_ = nullptr;
}

void RingBuffer::ReleaseEvents() {
    if (fullEvent_ != nullptr) CloseHandle(fullEvent_);
    if (dumpedEvent_ != nullptr) CloseHandle(dumpedEvent_);
    if (readerMutex_ != nullptr) CloseHandle(readerMutex_);
    fullEvent_ = nullptr;
    dumpedEvent_ = nullptr;
    readerMutex_ = nullptr;
}

uint32_t RingBuffer::Open(uint32_t create, uint32_t capacity, const char* name) {
    // A second Open replaces the first instead of leaking its handles.
    ReleaseMapping();
    ReleaseEvents();
    CopyBounded(name_, sizeof(name_), name);

    uint32_t result = 0;
    uint64_t size = 2ull * capacity + kHeaderSize;
    if (size > 0xFFFFFFFFull) {
        result = kNoMapping;
    } else {
        mapping_ = create ? CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                               static_cast<DWORD>(size), name_)
                          : OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name_);
        if (mapping_ == nullptr) result = kNoMapping;
    }
    if (mapping_ != nullptr) {
        view_ = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, static_cast<SIZE_T>(size));
        if (view_ == nullptr) {
            ReleaseMapping();
            result = kNoView;
        }
    }
    if (view_ != nullptr) {
        data_ = static_cast<uint8_t*>(view_) + kHeaderSize;
        RingBufferHeader* h = Header();
        if (create) {
            Store(h->capacity, capacity);
            Store(h->readOffset, 0);
            Store(h->writeOffset, 0);
            Store(h->wrapped, 0);
        } else if (Load(h->capacity) != capacity) {
            // The ring works with the header's capacity but the view is sized from ours: a larger
            // header capacity would make writes run past the view, a cleared one means a closed ring.
            ReleaseMapping();
            result = kNoView;
        }
    }

    char eventName[kNameSize];
    std::snprintf(eventName, sizeof(eventName), "%s_EVENT_FULL", name_);
    fullEvent_ = CreateEventA(nullptr, FALSE, FALSE, eventName);
    std::snprintf(eventName, sizeof(eventName), "%s_EVENT_DUMPED", name_);
    dumpedEvent_ = CreateEventA(nullptr, FALSE, FALSE, eventName);
    std::snprintf(eventName, sizeof(eventName), "%s_READER", name_);
    // The creating side owns it from now on; a writer only watches it (absent with older readers).
    readerMutex_ = create ? CreateMutexA(nullptr, TRUE, eventName) : OpenMutexA(SYNCHRONIZE, FALSE, eventName);
    watchesReader_ = create == 0;
    orphaned_.store(false, std::memory_order_relaxed);
    return result;
}

void RingBuffer::Close() {
    if (view_ != nullptr) {
        RingBufferHeader* h = Header();
        Store(h->capacity, 0);
        Store(h->readOffset, 0);
        Store(h->writeOffset, 0);
        Store(h->wrapped, 0);
        ReleaseMapping();
    }
    OnClose();
}

void RingBuffer::OnClose() {}

uint32_t RingBuffer::GetCapacity() { return view_ != nullptr ? Load(Header()->capacity) : 0; }

uint32_t RingBuffer::GetUsedSize() {
    if (view_ == nullptr) return 0;
    RingBufferHeader* h = Header();
    uint32_t read = Load(h->readOffset);
    uint32_t write = Load(h->writeOffset);
    if (write > read) return write - read;
    if (write == read) return 0;
    return Load(h->capacity) - read + write;
}

uint32_t RingBuffer::GetFreeSize() {
    if (view_ == nullptr) return 0;
    RingBufferHeader* h = Header();
    return FreeBytes(Load(h->readOffset), Load(h->writeOffset), Load(h->capacity));
}

bool RingBuffer::Fits(uint32_t size) {
    RingBufferHeader* h = Header();
    return FitsIn(size, Load(h->readOffset), Load(h->writeOffset), Load(h->capacity));
}

bool RingBuffer::ReaderGone() {
    if (orphaned_.load(std::memory_order_relaxed)) return true;
    if (!watchesReader_ || readerMutex_ == nullptr) return false;
    const DWORD state = WaitForSingleObject(readerMutex_, 0);
    if (state != WAIT_OBJECT_0 && state != WAIT_ABANDONED) return false;
    ReleaseMutex(readerMutex_);
    orphaned_.store(true, std::memory_order_relaxed);
    return true;
}

// Kept out of line so that the common path of Write stays short.
__attribute__((noinline)) bool RingBuffer::WaitForRoom(uint32_t size) {
    RingBufferHeader* h = Header();
    while (size <= Load(h->capacity) && !Fits(size)) {
        if (orphaned_.load(std::memory_order_relaxed)) return false;
        // Give the reader the ring while we wait; it answers FULL by draining and setting DUMPED.
        Unlock();
        SetEvent(fullEvent_);
        if (watchesReader_ && readerMutex_ != nullptr) {
            const HANDLE waits[2] = {dumpedEvent_, readerMutex_};
            const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
            if (woke != WAIT_OBJECT_0) {
                // The mutex came to us: the reader ended, or died, with data unread.
                if (woke == WAIT_OBJECT_0 + 1 || woke == WAIT_ABANDONED_0 + 1) ReleaseMutex(readerMutex_);
                orphaned_.store(true, std::memory_order_relaxed);
                Lock();
                return false;
            }
        } else {
            WaitForSingleObject(dumpedEvent_, INFINITE);
        }
        ResetEvent(dumpedEvent_);
        Lock();
    }
    return size <= Load(h->capacity);  // a piece larger than the ring could never fit
}

uint32_t RingBuffer::Write(const void* data, uint32_t size) {
    if (view_ == nullptr || orphaned_.load(std::memory_order_relaxed)) return 0;
    RingBufferHeader* h = Header();
    // The offsets are read once: the reader moves readOffset only while it holds lockWord, as we do.
    uint32_t read = Load(h->readOffset);
    uint32_t write = Load(h->writeOffset);
    uint32_t capacity = Load(h->capacity);
    if (!FitsIn(size, read, write, capacity)) {
        if (!WaitForRoom(size)) return 0;
        read = Load(h->readOffset);
        write = Load(h->writeOffset);
        capacity = Load(h->capacity);
    }
    auto* src = static_cast<const uint8_t*>(data);
    if (write + size > capacity) {
        uint32_t first = capacity - write;
        CopyIntoRing(data_ + write, src, first);
        CopyIntoRing(data_, src + first, size - first);
        Store(h->wrapped, 1);
        Store(h->writeOffset, size - first);
    } else {
        CopyIntoRing(data_ + write, src, size);
        if (write + size < read) Store(h->wrapped, 1);
        Store(h->writeOffset, write + size);
    }
    return size;
}

void RingBuffer::Consume(uint32_t size) {
    if (view_ == nullptr) return;
    MoveReadOffset(size);
    SetEvent(dumpedEvent_);
}

void RingBuffer::MoveReadOffset(uint32_t size) {
    if (view_ == nullptr) return;
    RingBufferHeader* h = Header();
    uint32_t read = Load(h->readOffset);
    uint32_t write = Load(h->writeOffset);
    uint32_t capacity = Load(h->capacity);
    if (size >= GetUsedSize()) {
        Store(h->readOffset, 0);
        Store(h->writeOffset, 0);
        Store(h->wrapped, 0);
    } else if (read >= write && read + size >= capacity) {
        Store(h->readOffset, read + size - capacity);
        Store(h->wrapped, 0);
    } else {
        Store(h->readOffset, read + size);
    }
}

void RingBuffer::Unwrap() {
    RingBufferHeader* h = Header();
    if (Load(h->wrapped) == 1) {
        std::memcpy(data_ + Load(h->capacity), data_, Load(h->writeOffset));  // read right after: keep it cached
        Store(h->wrapped, 0);
    }
}

uint8_t* RingBuffer::GetReadPointer() {
    if (view_ == nullptr) return nullptr;
    if (GetUsedSize() == 0) return data_;
    Unwrap();
    return data_ + Load(Header()->readOffset);
}

uint8_t* RingBuffer::GetReadEnd() {
    if (view_ == nullptr) return nullptr;
    uint32_t used = GetUsedSize();
    if (used == 0) return data_;
    Unwrap();
    return data_ + Load(Header()->readOffset) + used;
}

const uint8_t* RingBuffer::GetContiguousRead(uint32_t* size) {
    *size = 0;
    if (view_ == nullptr) return nullptr;
    RingBufferHeader* h = Header();
    uint32_t read = Load(h->readOffset);
    uint32_t write = Load(h->writeOffset);
    if (write != read) *size = write > read ? write - read : Load(h->capacity) - read;
    return data_ + read;
}

uint32_t RingBuffer::IsLocked() { return view_ != nullptr && Load(Header()->lockWord) == kRingLocked ? 1 : 0; }

uint32_t RingBuffer::Lock(uint32_t) {
    if (view_ == nullptr) return 1;
    std::atomic_ref<uint32_t> word(Header()->lockWord);
    for (uint32_t tries = 1;; ++tries) {
        uint32_t found = 0;
        if (word.compare_exchange_strong(found, kRingLocked, std::memory_order_acquire)) return 1;
        if (found == kRingLocked) {
            // A reader that died holding lockWord never gives it back: the ring is ours, and useless.
            if (tries % 256 == 0 && ReaderGone()) {
                word.store(kRingLocked, std::memory_order_seq_cst);
                return 1;
            }
            Sleep(0);
        } else {
            _mm_pause();  // a foreign value: keep trying without giving up the processor
        }
    }
}

// Each page is written with an interlocked add of 0: a write to the page, value-neutral even while
// another writer or the reader uses the same bytes.
void RingBuffer::TouchDataArea(uint32_t bytes) {
    if (view_ == nullptr) return;
    const uint32_t capacity = Load(Header()->capacity);
    if (bytes > capacity) bytes = capacity;
    constexpr uint32_t kPage = 4096;
    // From the first 4-byte aligned word of each page the data area reaches into (the view is page aligned).
    for (uint32_t at = kPage - kHeaderSize; at < bytes; at += kPage)
        std::atomic_ref<uint32_t>(*reinterpret_cast<uint32_t*>(data_ + at)).fetch_add(0, std::memory_order_relaxed);
}

bool RingBuffer::TryLock() { return view_ == nullptr || TryLockMapped(); }

void RingBuffer::TakeAbandonedLock() {
    if (view_ == nullptr) return;
    std::atomic_ref<uint32_t>(Header()->lockWord).store(kRingLocked, std::memory_order_seq_cst);
}

// One plain release store where a compare-and-swap would cost a second interlocked operation on
// every call: while lockWord reads 0xCEDED only its holder changes it (the other side takes it from
// 0 only), so the holder's store frees exactly what a compare-and-swap would.
void RingBuffer::Unlock(uint32_t) {
    if (view_ == nullptr) return;
    if (std::atomic_ref<uint32_t>(Header()->lockWord).load(std::memory_order_relaxed) == kRingLocked) ReleaseLockWord();
}

}  // namespace kestrel
