#include "interposer/ThreadDepthTable.h"

#include <cstdio>

#include "interposer/SpinWord.h"
#include "interposer/ThreadEnvironment.h"

namespace kestrel {

namespace {
class BlockLock {
public:
    explicit BlockLock(ThreadDepthBlock* block) : word_(&block->lock) { AcquireSpinWord(word_); }
    ~BlockLock() { ReleaseSpinWord(word_); }
private:
    volatile std::uint32_t* word_;
};
}  // namespace

ThreadDepthTable::ThreadDepthTable() = default;

ThreadDepthTable::~ThreadDepthTable() { Close(); }

namespace {
void BlockName(char (&name)[64], DWORD processId) {
    std::snprintf(name, sizeof name, kThreadDepthBlockFormat, static_cast<int>(processId));
}
}  // namespace

HANDLE ThreadDepthTable::CreateBlock(DWORD processId) {
    char name[64];
    BlockName(name, processId);
    return CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, ThreadDepthBlock::kSize, name);
}

bool ThreadDepthTable::Open(DWORD processId) {
    char name[64];
    BlockName(name, processId);
    mapping_ = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
    if (mapping_) {
        block_ = static_cast<ThreadDepthBlock*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, ThreadDepthBlock::kSize));
        if (!block_) {
            CloseHandle(mapping_);
            mapping_ = nullptr;
        }
    }
    const bool shared = block_ != nullptr;
    if (!shared) {
        // Without the controlling process's block the depths stay in the process: nested calls are
        // still told apart, only other modules cannot share them.
        localBlock_ = new ThreadDepthBlock{};
        block_ = localBlock_;
    }
    // The entry cache lives in a TLS slot so that the per-call path needs no map lookup.
    tlsSlot_ = TlsAlloc();
    return shared;
}

void ThreadDepthTable::Close() {
    if (localBlock_) {
        delete localBlock_;
    } else if (block_) {
        UnmapViewOfFile(block_);
    }
    localBlock_ = nullptr;
    if (mapping_ && mapping_ != INVALID_HANDLE_VALUE) CloseHandle(mapping_);
    if (tlsSlot_ != TLS_OUT_OF_INDEXES) TlsFree(tlsSlot_);
    block_ = nullptr;
    mapping_ = nullptr;
    tlsSlot_ = TLS_OUT_OF_INDEXES;
    known_.clear();
    overflow_.clear();
    scan_ = 0;
}

ThreadDepthEntry* ThreadDepthTable::Lookup(DWORD threadId) {
    ThreadDepthEntry* entry = nullptr;
    auto it = known_.find(threadId);
    if (it != known_.end()) {
        entry = it->second;
    } else {
        // Take in what other modules added since the last scan; a later entry for an id wins.
        while (scan_ < ThreadDepthBlock::kEntries && block_->entries[scan_].threadId != 0) {
            known_[block_->entries[scan_].threadId] = &block_->entries[scan_];
            ++scan_;
        }
        it = known_.find(threadId);
        if (it != known_.end()) {
            entry = it->second;
        } else if (scan_ < ThreadDepthBlock::kEntries) {
            entry = &block_->entries[scan_++];
            entry->depth = 0;
            entry->threadId = threadId;
            known_[threadId] = entry;
        } else {
            // The block is full: never write past it; the thread keeps a depth of its own here.
            entry = &overflow_.try_emplace(threadId, ThreadDepthEntry{threadId, 0}).first->second;
        }
    }
    if (tlsSlot_ != TLS_OUT_OF_INDEXES && threadId == CurrentThreadId()) TlsSetValue(tlsSlot_, entry);
    return entry;
}

// The lock guards finding and adding entries; a thread's own entry, once cached, needs none.
ThreadDepthEntry* ThreadDepthTable::FindEntry(DWORD threadId) {
    BlockLock lock(block_);
    return Lookup(threadId);
}

}  // namespace kestrel
