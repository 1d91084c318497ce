#include "capture/FramePacer.h"

namespace kestrel {

std::uint32_t FramePacer::Pace(std::uint32_t frameRateLimit) {
    // A limit of 0 means no pacing; the divisor below could otherwise reach 0 once the frame
    // counter wraps around to the limit.
    if (frameRateLimit == 0) return 0;
    if (framesInSecond_ == frameRateLimit) {
        framesInSecond_ = 0;
        frameBudgetMs_ = 1000;
    }
    // Unsigned on purpose: with more frames counted than the limit the divisor wraps and the wait is 0.
    const std::uint32_t wait = frameBudgetMs_ / (frameRateLimit - framesInSecond_);
    const std::uint32_t start = ticks_.Now();
    while (ticks_.Now() - start < wait) ticks_.Pause();
    const std::uint32_t now = ticks_.Now();
    lastFrameTick_ = now;
    const std::uint32_t spent = now - start;
    frameBudgetMs_ = frameBudgetMs_ > spent ? frameBudgetMs_ - spent : 0;
    ++framesInSecond_;
    return wait;
}

}  // namespace kestrel
