#pragma once
#include <cstdint>
#include <vector>

namespace kestrel::testing {

// What each writer thread of the stress run writes, known to the writer and the checking reader
// alike: record sizes of every class from a few bytes to more than the ring, and payload bytes
// taken from one shared table at a place that depends on thread and sequence number.
class StressPlan {
public:
    static constexpr uint32_t kRingCapacity = 1u << 20;
    static constexpr uint32_t kMaxPayload = 3u << 20;  // larger than the ring: passes in pieces
    static constexpr uint32_t kIdsSize = 8;            // thread, sequence number

    StressPlan(uint32_t threads, uint64_t totalBytes);

    uint32_t Threads() const { return static_cast<uint32_t>(sizes_.size()); }
    uint32_t Records(uint32_t thread) const { return static_cast<uint32_t>(sizes_[thread].size()); }
    uint32_t PayloadSize(uint32_t thread, uint32_t seq) const { return sizes_[thread][seq]; }
    // The payload after its 8 id bytes.
    const uint8_t* Body(uint32_t thread, uint32_t seq) const;
    uint64_t StreamBytes() const { return streamBytes_; }  // headers and payloads of all records

private:
    std::vector<std::vector<uint32_t>> sizes_;
    std::vector<uint8_t> table_;
    uint64_t streamBytes_ = 0;
};

}  // namespace kestrel::testing
