#include "stream/PerformanceClock.h"

#include <windows.h>
#include <cpuid.h>

namespace kestrel {

namespace {

// CPUID 0x80000007 EDX bit 8: the TSC runs at a constant rate in every power state and on every core.
bool HasInvariantTsc() {
    unsigned a, b, c, d;
    if (__get_cpuid(0x80000000, &a, &b, &c, &d) == 0 || a < 0x80000007) return false;
    __get_cpuid(0x80000007, &a, &b, &c, &d);
    return (d & (1u << 8)) != 0;
}

// A read that took this many times the shortest one seen was interrupted; small reads vary less.
constexpr uint64_t kSpanSlack = 3;
constexpr uint64_t kSpanFloor = 1000;

}  // namespace

PerformanceClock::PerformanceClock() {
    LARGE_INTEGER frequency;
    if (!HasInvariantTsc() || !QueryPerformanceFrequency(&frequency) || frequency.QuadPart < 1000) return;
    calibrationCounts_ = frequency.QuadPart / 1000;
    useTsc_ = true;
}

int64_t PerformanceClock::Counter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

PerformanceClock::Sample PerformanceClock::Read() {
    Sample sample;
    uint64_t before = Tsc();
    sample.counter = Counter();
    sample.span = Tsc() - before;
    sample.tsc = before + sample.span / 2;
    return sample;
}

int64_t PerformanceClock::Resync() {
    Sample sample = Read();
    if (!haveOrigin_) {
        for (int i = 0; i < 2; ++i) {  // the baseline's start matters most: the quietest of three reads
            Sample again = Read();
            if (again.span < sample.span) sample = again;
        }
        haveOrigin_ = true;
        origin_ = base_ = sample;
        minSpan_ = sample.span;
        return Monotonic(sample.counter);
    }
    if (sample.tsc < base_.tsc) {
        useTsc_ = false;  // a TSC that runs backwards between cores: real reads from now on
        return Monotonic(sample.counter);
    }
    if (sample.span < minSpan_) minSpan_ = sample.span;
    // An interrupted read gives this value only; the next call reads again.
    if (sample.span > kSpanSlack * minSpan_ + kSpanFloor) return Monotonic(sample.counter);
    if (origin_.span > kSpanSlack * sample.span + kSpanFloor) origin_ = sample;  // the start was interrupted
    base_ = sample;
    Calibrate();
    return Monotonic(sample.counter);
}

void PerformanceClock::Calibrate() {
    int64_t counts = base_.counter - origin_.counter;
    uint64_t tscs = base_.tsc - origin_.tsc;
    if (counts < calibrationCounts_) return;  // keeps the previous rate, or real reads while there is none
    if (tscs <= uint64_t(counts)) {
        useTsc_ = false;  // a TSC no faster than the counter is of no help
        return;
    }
    // The longer the baseline, the better the rate: it is always taken from the first read.
    double rate = double(counts) / double(tscs);
    countsPerTsc_ = uint32_t(rate * 4294967296.0);
    uint64_t interval = uint64_t(double(calibrationCounts_) / rate);
    resyncTsc_ = interval < 0xFFFFFFFFull ? interval : 0xFFFFFFFFull;  // elapsed TSC ticks must fit 32 bits
}

}  // namespace kestrel
