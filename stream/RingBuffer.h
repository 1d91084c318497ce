#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "stream/RingBufferHeader.h"

namespace kestrel {

// Byte ring in a named shared mapping (header, ring, unwrap area) with two named auto-reset events:
// "<name>_EVENT_FULL" (the writer needs room) and "<name>_EVENT_DUMPED" (the reader has taken data).
// The recorder opens it and writes; the controlling process creates it and drains it. Every
// operation on an unmapped object returns 0 (a null address, 1 for Lock) and touches nothing.
class RingBuffer {
public:
    static constexpr uint32_t kNameSize = 260;
    // Open results besides 0.
    static constexpr uint32_t kNoMapping = 2;
    static constexpr uint32_t kNoView = 3;

    RingBuffer();
    virtual ~RingBuffer();
    RingBuffer(const RingBuffer&) = delete;
    RingBuffer& operator=(const RingBuffer&) = delete;

    // With create: makes the mapping (2 x capacity + 28 bytes) and sets its header up. Without: opens
    // the creator's mapping, whose capacity must be the one given. Creates or opens both events.
    virtual uint32_t Open(uint32_t create, uint32_t capacity, const char* name);
    // Creator's side: clears the header so that no writer sees a usable ring, then unmaps.
    virtual void Close();
    virtual void OnClose();
    virtual uint32_t GetCapacity();
    virtual uint32_t GetUsedSize();
    virtual uint32_t GetFreeSize();
    // The caller holds the lock; waits (without it) for the reader while the bytes do not fit.
    // Returns size, or 0 when unmapped or when size exceeds the capacity and could never fit.
    virtual uint32_t Write(const void* data, uint32_t size);
    virtual void Consume(uint32_t size);
    // Consume without setting DUMPED: for a reader that sets the event itself once it has let
    // lockWord go, so that a writer never waits for lockWord across the reader's system call.
    void MoveReadOffset(uint32_t size);
    virtual uint8_t* GetReadPointer();
    virtual uint8_t* GetReadEnd();
    virtual uint32_t IsLocked();
    virtual uint32_t Lock(uint32_t unused = 0);
    virtual void Unlock(uint32_t unused = 0);

    // The unread bytes from readOffset that lie in one run without the unwrap copy: up to the
    // ring's end when the data wraps, else all of them. Size 0 when unmapped or empty.
    const uint8_t* GetContiguousRead(uint32_t* size);
    // One attempt at Lock; true when the lock word was taken (or the ring is unmapped, like Lock).
    bool TryLock();
    // TryLock for the writer's every call, inlined: false when unmapped, unlike TryLock.
    bool TryLockMapped() {
        if (view_ == nullptr) return false;
        uint32_t found = 0;
        return std::atomic_ref<uint32_t>(Header()->lockWord)
            .compare_exchange_strong(found, kRingLocked, std::memory_order_acquire);
    }
    // Write's common case for the holder of lockWord, in two inlined halves: room for size bytes at
    // the write offset, taken without waiting and without wrapping, filled by the caller and then
    // published by Commit. False when the bytes must go through Write.
    struct Room {
        uint8_t* at;
        RingBufferHeader* header;  // kept, so that Commit need not load it again after the caller's stores
        uint32_t read, write;
    };
    bool Reserve(uint32_t size, Room& room) {
        if (orphaned_.load(std::memory_order_relaxed)) return false;
        RingBufferHeader* h = room.header = Header();
        // The offsets are read once: the reader moves readOffset only while it holds lockWord, as we do.
        room.read = std::atomic_ref<uint32_t>(h->readOffset).load(std::memory_order_acquire);
        room.write = std::atomic_ref<uint32_t>(h->writeOffset).load(std::memory_order_relaxed);
        const uint32_t capacity = std::atomic_ref<uint32_t>(h->capacity).load(std::memory_order_relaxed);
        // The room ends before the ring's end, and before readOffset with a byte to spare (Write's rule).
        const uint32_t end = room.write < room.read ? room.read - 1 : capacity;
        if (__builtin_expect(end < room.write || size > end - room.write, 0)) return false;
        room.at = data_ + room.write;
        return true;
    }
    // Publishes what Reserve gave room for: the bytes before the write offset that follows them.
    void Commit(const Room& room, uint32_t size) {
        RingBufferHeader* h = room.header;
        if (room.write + size < room.read) std::atomic_ref<uint32_t>(h->wrapped).store(1, std::memory_order_release);
        std::atomic_ref<uint32_t>(h->writeOffset).store(room.write + size, std::memory_order_release);
    }
    // Unlock for the writer's every call, inlined: the caller knows it holds lockWord on a mapped ring.
    void ReleaseLockWord() { std::atomic_ref<uint32_t>(Header()->lockWord).store(0, std::memory_order_release); }
    // True when the reader's side has ended (its mutex is free or abandoned); the ring is then
    // orphaned and every later write fails at once.
    bool ReaderGone();
    // Takes lockWord whatever it holds: only for a reader whose writer has died holding it.
    void TakeAbandonedLock();
    bool IsMapped() const { return view_ != nullptr; }
    // The writer's side: makes the first `bytes` of the data area present and writable in this
    // process without changing a byte, so that the calls that write there first take no page faults.
    void TouchDataArea(uint32_t bytes);
    HANDLE FullEvent() const { return fullEvent_; }
    HANDLE DumpedEvent() const { return dumpedEvent_; }
    // True once a writer found that the reader had gone: every later write fails at once.
    bool Orphaned() const { return orphaned_.load(std::memory_order_relaxed); }
    const char* Name() const { return name_; }

private:
    RingBufferHeader* Header() const { return static_cast<RingBufferHeader*>(view_); }
    bool Fits(uint32_t size);
    bool WaitForRoom(uint32_t size);
    void Unwrap();
    void ReleaseMapping();
    void ReleaseEvents();

    HANDLE fullEvent_ = nullptr;
    HANDLE dumpedEvent_ = nullptr;
    // Held by the reader's side for as long as it drains; a writer that finds it free or abandoned
    // while waiting for room knows nobody will make room, and gives up instead of waiting forever.
    HANDLE readerMutex_ = nullptr;
    bool watchesReader_ = false;  // the writer's side
    std::atomic<bool> orphaned_{false};  // set by whichever writer thread finds the reader gone
    void* view_ = nullptr;
    HANDLE mapping_ = nullptr;
    uint8_t* data_ = nullptr;  // view + 28
    char name_[kNameSize] = {};
};

}  // namespace kestrel
