// The compressed form of a capture file: whole records of the drained stream go into zstd frames, a
// frame ends at every drain that emptied the ring and at least every few MiB, and the level adapts
// to the rate at which the ring fills. Frames end between records (only a record larger than a
// frame spans several), so that a capture cut short (kestrel killed, disk full) reads to its last
// whole frame and loses no record before it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

#include "controller/capture/AdaptiveLevel.h"
#include "controller/capture/ZstdFrameWriter.h"

namespace kestrel {

class ZstdCaptureWriter {
public:
    // A frame holds at most about this much of the stream.
    static constexpr std::uint64_t kFrameBytes = 4u << 20;
    // The start of a record is held back until the record is whole, up to this much; a larger
    // record goes out as it comes (no copy), in frames of its own, the first of which may be cut off again.
    static constexpr std::size_t kHoldBack = 256u << 10;

    explicit ZstdCaptureWriter(int level) : level_(level), lowest_(level) {}

    void Begin(std::FILE* file) { frames_.Begin(file, level_.level()); }
    // The next `size` bytes of the stream; the stream's whole records end at `wholeEnd`.
    void Write(const std::uint8_t* data, std::uint32_t size, std::uint64_t wholeEnd);
    // After a drain round that handed bytes over, with the share of the ring still unread.
    void EndOfDrain(double ringFill, std::uint32_t nowMs);
    // Ends the last frame; a record cut short at the end is left out. False when writing failed.
    bool Finish();

    bool failed() const { return frames_.failed(); }
    std::uint64_t fileBytes() const { return frames_.fileBytes(); }
    int chosenLevel() const { return level_.steps().front(); }
    int lowestLevel() const { return lowest_; }

private:
    void Compress(const std::uint8_t* data, std::size_t size);

    AdaptiveLevel level_;
    ZstdFrameWriter frames_;
    std::vector<std::uint8_t> tail_;  // the start of a record not yet whole
    std::uint64_t stream_ = 0;        // stream bytes taken so far
    std::uint64_t written_ = 0;       // stream bytes given to frames so far
    // A large record that is not whole yet: where it starts in the stream, and in the file.
    std::uint64_t largeRecord_ = 0;
    std::uint64_t largeFile_ = 0;
    bool inLarge_ = false;
    int lowest_;
};

}  // namespace kestrel
