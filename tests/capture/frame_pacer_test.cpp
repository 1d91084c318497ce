#include <gtest/gtest.h>

#include <vector>

#include "capture/FramePacer.h"

using kestrel::FramePacer;

namespace {
// A clock that moves 1 ms per yield, so waits are counted exactly and nothing sleeps.
class StepClock : public kestrel::TickSource {
public:
    std::uint32_t now = 5000;
    std::uint32_t Now() override { return now; }
    void Pause() override { ++now; }
};
}  // namespace

TEST(FramePacer, ThirtyFramesShareOneSecondOfWaitingOnceTheGroupIsFull) {
    StepClock clock;
    FramePacer pacer(clock);
    std::vector<std::uint32_t> waited;
    for (int frame = 1; frame <= 60; ++frame) {
        const std::uint32_t before = clock.now;
        pacer.Pace(30);
        waited.push_back(clock.now - before);
    }
    for (int i = 0; i < 29; ++i) EXPECT_EQ(waited[i], 0u) << "frame " << i + 1;
    EXPECT_EQ(waited[29], 33u);        // 1,000 / 30
    EXPECT_EQ(waited[30], 967u / 29);  // the rest of the budget over the frames left
    std::uint32_t group = 0;
    for (int i = 29; i < 59; ++i) group += waited[i];
    EXPECT_LE(group, 1000u);
    EXPECT_GE(group, 1000u - 30u) << "integer division loses at most a ms per frame";
    EXPECT_EQ(waited[59], 33u) << "the next group starts with a fresh budget";
    EXPECT_EQ(pacer.lastFrameTick(), clock.now);
}

TEST(FramePacer, LimitZeroNeverWaits) {
    StepClock clock;
    FramePacer pacer(clock);
    for (int i = 0; i < 100; ++i) pacer.Pace(0);
    EXPECT_EQ(clock.now, 5000u);
}

// A limit lowered below the frames already counted in the group: the divisor wraps past zero.
TEST(FramePacer, LimitBelowTheFramesCountedNeverWaits) {
    StepClock clock;
    FramePacer pacer(clock);
    for (int i = 0; i < 10; ++i) pacer.Pace(60);
    const std::uint32_t before = clock.now;
    for (int i = 0; i < 5; ++i) pacer.Pace(5);
    EXPECT_EQ(clock.now, before);
}
