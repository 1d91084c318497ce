// The frames whose calls a report lists. A page that listed every call of a long capture would be
// far too large to open, so it lists them within a budget: every frame of a short capture, else the
// slowest frames with a few frames either side, or the frames the user asked for.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

class FrameSelection {
public:
    static constexpr std::uint64_t kCallBudget = 100000;  // calls listed in all
    static constexpr std::uint64_t kFrameCallLimit = 20000;  // calls listed of one frame
    static constexpr std::size_t kSlowFrames = 8;
    static constexpr std::uint64_t kWindow = 2;  // frames listed either side of a slow one

    // `callsPerFrame` and `frameEnds` of the finished frames, frame 1 first.
    static FrameSelection Choose(const std::vector<std::uint64_t>& callsPerFrame, const std::vector<std::int64_t>& frameEnds,
                                 bool rangeGiven, std::uint64_t first, std::uint64_t last);

    // In frame order.
    const std::vector<std::uint64_t>& frames() const { return frames_; }
    // Which frames these are, in words, for the page.
    const std::string& why() const { return why_; }

private:
    std::vector<std::uint64_t> frames_;
    std::string why_;
};

}  // namespace kestrel
