// Follows the record stream as it is drained, chunk by chunk, and counts records, calls and frames
// for the progress line and the summary.
#pragma once
#include <cstdint>

namespace kestrel {

class StreamCounter {
public:
    // With a limit, the stream ends after the record that ends that frame: Feed then says how many
    // of the bytes given still belong to it, and counts nothing after it.
    void SetFrameLimit(std::uint32_t frames) { frameLimit_ = frames; }
    bool limitReached() const { return limitReached_; }

    // Returns how many bytes of this chunk belong to the stream (all of them without a limit).
    std::uint32_t Feed(const std::uint8_t* data, std::uint32_t size);

    std::uint64_t bytes() const { return bytes_; }
    // The bytes up to the end of the last whole record.
    std::uint64_t wholeBytes() const { return wholeBytes_; }
    std::uint64_t records() const { return records_; }
    std::uint32_t frames() const { return frames_; }                  // frame ends seen: swaps and frame end records
    std::uint32_t callsInLastFrame() const { return lastFrameCalls_; }

private:
    void OnHeader();

    std::uint8_t header_[16] = {};
    std::uint32_t headerFill_ = 0;
    std::uint64_t payloadLeft_ = 0;
    std::uint64_t bytes_ = 0;
    std::uint64_t wholeBytes_ = 0;
    std::uint64_t records_ = 0;
    std::uint32_t frames_ = 0;
    std::uint32_t callsThisFrame_ = 0;
    std::uint32_t lastFrameCalls_ = 0;
    std::uint32_t frameLimit_ = 0;  // 0: none
    bool limitReached_ = false;
};

}  // namespace kestrel
