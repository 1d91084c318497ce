#pragma once
#include <windows.h>

#include <atomic>

#include "stream/RingBufferHeader.h"

namespace kestrel::testing {

// The test's own view of a ring's shared header, independent of the RingBuffer under test.
class RingHeaderView {
public:
    explicit RingHeaderView(const char* name) {
        mapping_ = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
        if (mapping_ != nullptr) view_ = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(RingBufferHeader));
    }
    ~RingHeaderView() {
        if (view_ != nullptr) UnmapViewOfFile(view_);
        if (mapping_ != nullptr) CloseHandle(mapping_);
    }
    RingHeaderView(const RingHeaderView&) = delete;
    RingHeaderView& operator=(const RingHeaderView&) = delete;

    bool Valid() const { return view_ != nullptr; }
    RingBufferHeader* operator->() const { return static_cast<RingBufferHeader*>(view_); }
    uint32_t LockWord() const { return std::atomic_ref<uint32_t>((*this)->lockWord).load(); }
    void SetLockWord(uint32_t value) const { std::atomic_ref<uint32_t>((*this)->lockWord).store(value); }

private:
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
};

}  // namespace kestrel::testing
