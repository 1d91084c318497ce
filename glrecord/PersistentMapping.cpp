#include "glrecord/PersistentMapping.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "glrecord/IndexRange.h"

namespace kestrel {

namespace {

std::uint64_t Word(const std::uint8_t* at) {
    std::uint64_t word;
    std::memcpy(&word, at, 8);
    return word;
}

void AddRun(std::vector<WrittenRun>& runs, std::uint32_t begin, std::uint32_t end, std::uint32_t mergeGap) {
    if (!runs.empty()) {
        WrittenRun& last = runs.back();
        const std::uint32_t lastEnd = last.offset + last.length;
        if (begin >= lastEnd && begin - lastEnd <= mergeGap) {
            last.length = end - last.offset;
            return;
        }
    }
    runs.push_back({begin, end - begin});
}

// Whether the system keeps write watches cheaply. Windows keeps them with the page tables; Wine
// keeps them by faulting on the first write to each page after every reset (measured here: about
// 75 us a page, against under 1 us to compare the page with the second copy), and under a user-mode
// emulator that fault does not even reach Wine's handler. There every page is compared at every
// point instead: no fault, and the cost follows the mapped size rather than the written pages. Wine
// is told by its own export, never by writing to watched memory.
bool WriteWatchIsCheap() {
    static const bool cheap = [] {
        const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return !ntdll || !GetProcAddress(ntdll, "wine_get_version");
    }();
    return cheap;
}

}  // namespace

void DiffRuns(const std::uint8_t* now, const std::uint8_t* before, std::uint32_t begin, std::uint32_t end,
              std::uint32_t mergeGap, std::vector<WrittenRun>& runs) {
    constexpr std::uint32_t kBlock = 64;
    std::uint32_t i = begin;
    while (i < end) {
        // The first differing byte: whole blocks, then words, then bytes.
        while (i + kBlock <= end && std::memcmp(now + i, before + i, kBlock) == 0) i += kBlock;
        while (i + 8 <= end) {
            const std::uint64_t x = Word(now + i) ^ Word(before + i);
            if (x) {
                i += static_cast<std::uint32_t>(__builtin_ctzll(x)) / 8;
                break;
            }
            i += 8;
        }
        if (i + 8 > end)
            while (i < end && now[i] == before[i]) ++i;
        if (i >= end) break;
        const std::uint32_t start = i;
        std::uint32_t last = i;  // the last differing byte
        // The run goes on while at most mergeGap equal bytes stand between differing ones.
        while (i < end) {
            if (i + 8 <= end) {
                const std::uint64_t x = Word(now + i) ^ Word(before + i);
                if (x) {
                    const std::uint32_t first = i + static_cast<std::uint32_t>(__builtin_ctzll(x)) / 8;
                    if (first > last + 1 + mergeGap) break;
                    last = i + 7 - static_cast<std::uint32_t>(__builtin_clzll(x)) / 8;
                } else if (i + 8 > last + 1 + mergeGap) {
                    break;
                }
                i += 8;
            } else {
                if (now[i] != before[i]) {
                    if (i > last + 1 + mergeGap) break;
                    last = i;
                } else if (i > last + mergeGap) {
                    break;
                }
                ++i;
            }
        }
        AddRun(runs, start, last + 1, mergeGap);
        i = last + 1;
    }
}

std::unique_ptr<PersistentMapping> PersistentMapping::Create(const void* owner, std::uint32_t buffer,
                                                             std::uint32_t offset, std::uint32_t length,
                                                             std::uint8_t* real, bool readable) {
    if (!real || length == 0) return nullptr;
    std::unique_ptr<PersistentMapping> mapping(new (std::nothrow) PersistentMapping);
    if (!mapping) return nullptr;
    mapping->copy_.reset(new (std::nothrow) std::uint8_t[length]);
    if (!mapping->copy_) return nullptr;
    const DWORD watch = WriteWatchIsCheap() ? MEM_WRITE_WATCH : 0;
    void* shadow = VirtualAlloc(nullptr, length, MEM_RESERVE | MEM_COMMIT | watch, PAGE_READWRITE);
    if (!shadow) return nullptr;
    mapping->shadow_ = static_cast<std::uint8_t*>(shadow);
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::uint32_t pages = (length + system.dwPageSize - 1) / system.dwPageSize;
    try {
        mapping->pages_.resize(pages);
        mapping->runs_.reserve(16);
    } catch (...) {
        return nullptr;
    }
    mapping->owner_ = owner;
    mapping->buffer_ = buffer;
    mapping->offset_ = offset;
    mapping->length_ = length;
    mapping->real_ = real;
    mapping->readable_ = readable;
    // A mapping without read access may not be readable: what cannot be read starts as zeros.
    const std::uint32_t can = ReadablePrefix(real, length, DriverMemoryReadable);
    std::memcpy(mapping->copy_.get(), real, can);
    std::memset(mapping->copy_.get() + can, 0, length - can);
    std::memcpy(mapping->shadow_, mapping->copy_.get(), length);
    if (watch) ResetWriteWatch(mapping->shadow_, length);
    mapping->watched_ = watch != 0;
    return mapping;
}

PersistentMapping::~PersistentMapping() {
    if (shadow_ && !abandoned_) VirtualFree(shadow_, 0, MEM_RELEASE);
}

const std::vector<WrittenRun>& PersistentMapping::TakeWrites() {
    runs_.clear();
    std::uint8_t* copy = copy_.get();
    ULONG_PTR count = pages_.size();
    DWORD pageSize = 0;
    try {
        if (watched_ && GetWriteWatch(WRITE_WATCH_FLAG_RESET, shadow_, length_, pages_.data(), &count, &pageSize) == 0) {
            for (ULONG_PTR p = 0; p < count; ++p) {
                const auto begin = static_cast<std::uint32_t>(static_cast<std::uint8_t*>(pages_[p]) - shadow_);
                const std::uint32_t end = length_ - begin < pageSize ? length_ : begin + pageSize;
                DiffRuns(shadow_, copy, begin, end, kMergeGap, runs_);
            }
        } else {
            // Not watched, or no answer: the comparison of the whole shadow finds what changed.
            DiffRuns(shadow_, copy, 0, length_, kMergeGap, runs_);
        }
    } catch (...) {
        // No room for another run: the rest of the shadow goes as one.
        if (runs_.empty()) runs_.push_back({0, length_});
        runs_.back().length = length_ - runs_.back().offset;
    }
    // The copy first: the real mapping and the record get the same bytes even while another thread
    // goes on writing the shadow (its writes are watched again and found at the next point).
    for (const WrittenRun& run : runs_) {
        std::memcpy(copy + run.offset, shadow_ + run.offset, run.length);
        std::memcpy(real_ + run.offset, copy + run.offset, run.length);
    }
    return runs_;
}

std::uint64_t PersistentMapping::CopyBack() {
    if (!readable_) return 0;
    std::uint64_t copied = 0;
    std::uint8_t* copy = copy_.get();
    for (std::uint32_t i = 0; i < length_; i += 64) {
        const std::uint32_t n = length_ - i < 64 ? length_ - i : 64;
        if (std::memcmp(real_ + i, copy + i, n) == 0) continue;
        for (std::uint32_t k = i; k < i + n; ++k) {
            if (real_[k] == copy[k]) continue;
            // A byte the application changed since keeps its value, and reaches the GL at the next point.
            if (shadow_[k] == copy[k]) {
                shadow_[k] = real_[k];
                ++copied;
            }
            copy[k] = real_[k];
        }
    }
    return copied;
}

}  // namespace kestrel
