// Per-thread call depth, kept in the process's named thread-depth block so that every module that
// opens the block by name sees the same depths.
#pragma once
#include <windows.h>
#include <cstdint>
#include <map>

#include "interposer/ThreadDepthBlock.h"

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

    std::int32_t enter(DWORD threadId);
    std::int32_t leave(DWORD threadId);
    std::int32_t depth(DWORD threadId);

    // Threads that found the block's 127 entries used up keep their depth here, in the process only:
    // they are still recorded, only other modules cannot see their depth.
    std::size_t OverflowThreads() const { return overflow_.size(); }

private:
    ThreadDepthEntry* Lookup(DWORD threadId);  // lock held
    ThreadDepthEntry* OwnEntry(DWORD threadId);  // the calling thread's cached entry, or null

    HANDLE mapping_ = nullptr;
    ThreadDepthBlock* block_ = nullptr;
    ThreadDepthBlock* localBlock_ = nullptr;
    std::map<DWORD, ThreadDepthEntry*> known_;
    std::map<DWORD, ThreadDepthEntry> overflow_;
    std::uint32_t scan_ = 0;  // index of the first entry not yet taken into known_
    DWORD tlsSlot_ = TLS_OUT_OF_INDEXES;
};

}  // namespace kestrel
