// Follows the record stream as it is drained, chunk by chunk, and counts records, calls and frames
// for the progress line and the summary.
#pragma once
#include <cstdint>

namespace kestrel {

class StreamCounter {
public:
    void Feed(const std::uint8_t* data, std::uint32_t size);

    std::uint64_t bytes() const { return bytes_; }
    std::uint64_t records() const { return records_; }
    std::uint32_t frames() const { return frames_; }                  // swaps seen
    std::uint32_t callsInLastFrame() const { return lastFrameCalls_; }

private:
    void OnHeader();

    std::uint8_t header_[16] = {};
    std::uint32_t headerFill_ = 0;
    std::uint64_t payloadLeft_ = 0;
    std::uint64_t bytes_ = 0;
    std::uint64_t records_ = 0;
    std::uint32_t frames_ = 0;
    std::uint32_t callsThisFrame_ = 0;
    std::uint32_t lastFrameCalls_ = 0;
};

}  // namespace kestrel
