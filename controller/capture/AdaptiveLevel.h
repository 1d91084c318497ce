// The compression level of a capture that must keep up with its application: lowered a step when the
// ring fills faster than the drainer empties it, down to storing blocks uncompressed, and raised a
// step again, up to the chosen level, once the ring has stayed nearly empty for a while.
#pragma once
#include <cstdint>
#include <vector>

namespace kestrel {

class AdaptiveLevel {
public:
    // Behind: the ring holds this share or more after a drain round.
    static constexpr double kBehind = 0.25;
    // Far behind: the application is about to wait for room, so blocks are stored at once rather
    // than one step at a time (large uploads fill a ring faster than any level compresses).
    static constexpr double kFarBehind = 0.5;
    // Calm: it holds less than this share...
    static constexpr double kCalm = 1.0 / 16;
    // ...in every round for this long.
    static constexpr std::uint32_t kCalmMs = 2000;
    // A lower level needs time to show: the next step down waits this long unless the ring fills further.
    static constexpr std::uint32_t kSettleMs = 100;

    explicit AdaptiveLevel(int chosen);

    // After a drain round: the share of the ring still unread, and a millisecond clock.
    void AfterDrain(double ringFill, std::uint32_t nowMs);
    int level() const { return steps_[step_]; }
    const std::vector<int>& steps() const { return steps_; }

private:
    std::vector<int> steps_;  // the chosen level first, stored blocks last
    std::size_t step_ = 0;
    std::uint32_t lastDown_ = 0;
    double fillAtLastDown_ = 0;
    std::uint32_t calmSince_ = 0;
    bool calm_ = false;
};

}  // namespace kestrel
