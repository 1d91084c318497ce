#include "controller/capture/AdaptiveLevel.h"

#include "controller/reading/ZstdLevelNote.h"

namespace kestrel {

AdaptiveLevel::AdaptiveLevel(int chosen) {
    // Each step roughly doubles the speed on record streams; stored blocks cost a copy only.
    steps_.push_back(chosen);
    for (int level : {1, -1, -5})
        if (level < steps_.back()) steps_.push_back(level);
    steps_.push_back(kStoredLevel);
}

void AdaptiveLevel::AfterDrain(double ringFill, std::uint32_t nowMs) {
    if (ringFill >= kFarBehind) {
        calm_ = false;
        step_ = steps_.size() - 1;
        lastDown_ = nowMs;
        fillAtLastDown_ = ringFill;
        return;
    }
    if (ringFill >= kBehind) {
        calm_ = false;
        const bool settled = nowMs - lastDown_ >= kSettleMs || ringFill > fillAtLastDown_;
        if (step_ + 1 < steps_.size() && (settled || step_ == 0)) {
            ++step_;
            lastDown_ = nowMs;
            fillAtLastDown_ = ringFill;
        }
        return;
    }
    if (ringFill >= kCalm) {
        calm_ = false;
        return;
    }
    if (!calm_) {
        calm_ = true;
        calmSince_ = nowMs;
    } else if (step_ > 0 && nowMs - calmSince_ >= kCalmMs) {
        --step_;
        calmSince_ = nowMs;
    }
}

}  // namespace kestrel
