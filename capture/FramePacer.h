// Holds the application to a frame-rate limit: each group of `limit` frames shares 1,000 ms of
// waiting, handed out as the remaining budget divided by the frames left in the group.
#pragma once
#include <windows.h>
#include <cstdint>

namespace kestrel {

// The clock the pacer waits on; tests replace it.
class TickSource {
public:
    virtual ~TickSource() = default;
    virtual std::uint32_t Now() { return GetTickCount(); }
    virtual void Pause() { Sleep(0); }
};

class FramePacer {
public:
    explicit FramePacer(TickSource& ticks) : ticks_(ticks), lastFrameTick_(ticks.Now()) {}

    // Runs at a frame end; returns the wait it aimed for, in ms.
    std::uint32_t Pace(std::uint32_t frameRateLimit);

    std::uint32_t lastFrameTick() const { return lastFrameTick_; }
    std::uint32_t frameBudgetMs() const { return frameBudgetMs_; }
    std::uint32_t framesInSecond() const { return framesInSecond_; }

private:
    TickSource& ticks_;
    std::uint32_t lastFrameTick_;
    std::uint32_t frameBudgetMs_ = 0;
    std::uint32_t framesInSecond_ = 1;
};

}  // namespace kestrel
