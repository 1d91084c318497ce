// A persistent mapping handed to the application as a shadow that the system watches for writes
// (where it does so cheaply; elsewhere every page of the shadow is compared at every point).
// The GL may read a persistent mapping at any time while it stays mapped, so what the application
// writes must reach the capture at every point where the GL may read it. Page protection would
// raise faults inside the application; a write-watched shadow costs nothing while it is written and
// one query at each point where the GL reads. A second copy, as the GL last received the bytes,
// lets only the bytes that changed be recorded (a ring written in part keeps its record small) and
// lets bytes the GL wrote be told from bytes the application wrote.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

namespace kestrel {

// A run of bytes, relative to the start of a mapping.
struct WrittenRun {
    std::uint32_t offset;
    std::uint32_t length;
};

// Appends to `runs` the runs in [begin, end) where `now` differs from `before`. Runs closer than
// `mergeGap` equal bytes are joined, also with the last run already in `runs`: a run's offset and
// length cost 8 bytes of record, more than a few unchanged bytes.
void DiffRuns(const std::uint8_t* now, const std::uint8_t* before, std::uint32_t begin, std::uint32_t end,
              std::uint32_t mergeGap, std::vector<WrittenRun>& runs);

class PersistentMapping {
public:
    static constexpr std::uint32_t kMergeGap = 16;

    // The shadow of `length` bytes at `real`, filled from it; null when memory for it cannot be had.
    static std::unique_ptr<PersistentMapping> Create(const void* owner, std::uint32_t buffer, std::uint32_t offset,
                                                     std::uint32_t length, std::uint8_t* real, bool readable);
    ~PersistentMapping();
    PersistentMapping(const PersistentMapping&) = delete;
    PersistentMapping& operator=(const PersistentMapping&) = delete;

    // The runs the application changed since the last call, now copied into the real mapping; their
    // bytes are at copy() + run.offset until the next call.
    const std::vector<WrittenRun>& TakeWrites();
    // The bytes the GL changed in the real mapping since it last received ours, copied into the
    // shadow where the application has not written since. Mappings without read access are never
    // read by the application: nothing to do. Returns the bytes copied.
    std::uint64_t CopyBack();
    // The shadow stays allocated: the application may hold the pointer past the point where the
    // mapping is forgotten (a context deleted while a shared one still uses the buffer).
    void Abandon() { abandoned_ = true; }

    const void* owner() const { return owner_; }
    std::uint32_t buffer() const { return buffer_; }
    std::uint32_t offset() const { return offset_; }
    std::uint32_t length() const { return length_; }
    std::uint8_t* shadow() const { return shadow_; }
    const std::uint8_t* real() const { return real_; }
    const std::uint8_t* copy() const { return copy_.get(); }

private:
    PersistentMapping() = default;

    const void* owner_ = nullptr;
    std::uint32_t buffer_ = 0, offset_ = 0, length_ = 0;
    std::uint8_t* real_ = nullptr;
    std::uint8_t* shadow_ = nullptr;        // write-watched
    std::unique_ptr<std::uint8_t[]> copy_;  // what the real mapping last received from us
    std::vector<void*> pages_;              // room for every page of the shadow
    std::vector<WrittenRun> runs_;
    bool readable_ = false;
    bool watched_ = false;  // allocated with a write watch
    bool abandoned_ = false;
};

}  // namespace kestrel
