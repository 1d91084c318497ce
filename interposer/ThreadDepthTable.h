// Per-thread call depth, kept in the process's named thread-depth block so that every module that
// opens the block by name sees the same depths.
#pragma once
#include <windows.h>
#include <cstdint>
#include <map>

#include "interposer/ThreadDepthBlock.h"
#include "interposer/ThreadEnvironment.h"

namespace kestrel {

class ThreadDepthTable {
public:
    ThreadDepthTable();
    ~ThreadDepthTable();
    ThreadDepthTable(const ThreadDepthTable&) = delete;
    ThreadDepthTable& operator=(const ThreadDepthTable&) = delete;

    // The controlling process's side: creates the block for a process (zero-filled, 1,025 bytes)
    // before the process makes its first call. Returns the mapping handle, or null.
    static HANDLE CreateBlock(DWORD processId);

    // Opens the block the controlling process created for this process id. Returns false when it does
    // not exist; the table then works on a block of the process's own. Call once, before any other operation.
    bool Open(DWORD processId);
    void Close();
    bool IsOpen() const { return block_ != nullptr; }

    // Once a thread has its entry, only calls made on that same thread change or read it, one after
    // another, so the thread works on it without the block's lock, found through a TLS slot: the
    // gate asks for it several times in every call.
    std::int32_t enter(DWORD threadId) {
        ThreadDepthEntry* own = entry(threadId);
        block_->lastThread = threadId;
        return ++own->depth;
    }
    // enter, giving the thread's entry instead of the new depth.
    ThreadDepthEntry* enterEntry(DWORD threadId) {
        ThreadDepthEntry* own = entry(threadId);
        block_->lastThread = threadId;
        ++own->depth;
        return own;
    }
    std::int32_t leave(DWORD threadId) { return --entry(threadId)->depth; }
    std::int32_t depth(DWORD threadId) { return entry(threadId)->depth; }
    // The thread's entry, for the thread itself to read and change its depth in one lookup.
    ThreadDepthEntry* entry(DWORD threadId) {
        if (ThreadDepthEntry* own = OwnEntry(threadId); __builtin_expect(own != nullptr, 1)) return own;
        return FindEntry(threadId);
    }

    // Threads that found the block's 127 entries used up keep their depth here, in the process only:
    // they are still recorded, only other modules cannot see their depth.
    std::size_t OverflowThreads() const { return overflow_.size(); }

private:
    ThreadDepthEntry* Lookup(DWORD threadId);  // lock held
    // The calling thread's cached entry, or null.
    ThreadDepthEntry* OwnEntry(DWORD threadId) {
        // Tested inside the expansion slots' range only, so that the common slot costs one compare.
        if (__builtin_expect(tlsSlot_ >= kTebTlsSlotCount, 0) && tlsSlot_ == TLS_OUT_OF_INDEXES) return nullptr;
        auto* cached = static_cast<ThreadDepthEntry*>(TlsSlotValue(tlsSlot_));
        return cached != nullptr && cached->threadId == threadId ? cached : nullptr;
    }
    ThreadDepthEntry* FindEntry(DWORD threadId);  // the cache missed: under the lock

    HANDLE mapping_ = nullptr;
    ThreadDepthBlock* block_ = nullptr;
    ThreadDepthBlock* localBlock_ = nullptr;
    std::map<DWORD, ThreadDepthEntry*> known_;
    std::map<DWORD, ThreadDepthEntry> overflow_;
    std::uint32_t scan_ = 0;  // index of the first entry not yet taken into known_
    DWORD tlsSlot_ = TLS_OUT_OF_INDEXES;
};

}  // namespace kestrel
