// How long the frames of a capture took, from swap to swap: mean, median, high percentiles and
// the worst frames. The first frame has no swap ahead of it; it runs from the start of the capture
// and holds the application's set-up, so it is kept apart from the others.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrel {

class FrameTimes {
public:
    struct Frame {
        std::uint64_t number = 0;  // frame 1 is the first
        std::int64_t ticks = 0;
    };

    // `ends` holds the time stamp of the swap that ended each frame, frame 1 first. Frame k > 1
    // lasts from the end of frame k - 1 to its own; a swap that lies before the one ahead of it
    // (a damaged capture) gives a frame of 0 ticks.
    FrameTimes(const std::vector<std::int64_t>& ends, std::size_t worstListed);

    // Frames from swap to swap: one fewer than the swaps.
    std::size_t frames() const { return sorted_.size(); }
    // All in counter ticks; 0 without frames.
    double mean() const { return mean_; }
    double median() const { return median_; }  // the middle one, or the mean of the middle two
    // Nearest rank: the shortest frame time that `percent` of the frames do not exceed.
    std::int64_t Percentile(unsigned percent) const;
    // Longest first; equal times by frame number.
    const std::vector<Frame>& worst() const { return worst_; }

private:
    std::vector<std::int64_t> sorted_;
    double mean_ = 0;
    double median_ = 0;
    std::vector<Frame> worst_;
};

// Ticks from `from` to `to`, 0 when `to` lies before it; safe for any two values.
std::int64_t TicksBetween(std::int64_t from, std::int64_t to);

}  // namespace kestrel
