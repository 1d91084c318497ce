// The record clock against the performance counter it stands in for.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

#include "stream/PerformanceClock.h"

namespace kestrel {
namespace {

int64_t Counter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// Half a microsecond in counter ticks: the clock carries the counter forward from the TSC and puts
// itself back on it every millisecond, so it may be off by a tick or two, never by more than this.
int64_t Tolerance() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return std::max<int64_t>(1, frequency.QuadPart / 2000000);
}

// Every value lies between counter reads just before and just after it, give or take the tolerance,
// through the calibrating first millisecond, dense runs of calls, and pauses longer than the
// interval between real reads (the pauses are what an extrapolation with a wrong rate would show).
TEST(PerformanceClockTest, ValuesStayOnTheCounterThroughRunsAndPauses) {
    PerformanceClock clock;
    const int64_t tolerance = Tolerance();
    int64_t worstEarly = 0, worstLate = 0, previous = INT64_MIN;
    const DWORD start = GetTickCount();
    for (uint32_t i = 0; GetTickCount() - start < 600; ++i) {
        int64_t before = Counter();
        int64_t value = clock.Now();
        int64_t after = Counter();
        ASSERT_GE(value, before - tolerance) << "call " << i;
        ASSERT_LE(value, after + tolerance) << "call " << i;
        ASSERT_GE(value, previous) << "call " << i;
        worstEarly = std::max(worstEarly, before - value);
        worstLate = std::max(worstLate, value - after);
        previous = value;
        if (i % 5000 == 4999) Sleep(i % 3);  // 0: yield, 1 and 2: several milliseconds
    }
    std::printf("tsc %s; worst: %lld ticks before the earlier read, %lld after the later one (tolerance %lld)\n",
                clock.UsesTsc() ? "used" : "not used", (long long)worstEarly, (long long)worstLate,
                (long long)tolerance);
}

// The stream reads the clock under its lock from any thread, and threads move between cores:
// values taken one after another under a lock never go backwards.
TEST(PerformanceClockTest, ValuesUnderALockNeverGoBackwardsAcrossThreads) {
    PerformanceClock clock;
    CRITICAL_SECTION lock;
    InitializeCriticalSection(&lock);
    int64_t last = INT64_MIN;
    uint32_t backwards = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            const DWORD start = GetTickCount();
            while (GetTickCount() - start < 300) {
                EnterCriticalSection(&lock);
                int64_t value = clock.Now();
                if (value < last) ++backwards;
                last = value;
                LeaveCriticalSection(&lock);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    DeleteCriticalSection(&lock);
    EXPECT_EQ(0u, backwards);
    int64_t after = Counter();
    EXPECT_LE(last, after + Tolerance());
}

}  // namespace
}  // namespace kestrel
