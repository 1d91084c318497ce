#pragma once
#include <cstdint>

namespace kestrel {

// Values of the Windows performance counter (QueryPerformanceCounter's timeline and units) for
// record headers, at a fraction of the counter's cost. Under Wine without its rdtsc bypass one
// counter read is a call into the Unix side (~150 ns), more than the rest of a small record.
// With an invariant TSC the counter is carried forward from the TSC between real reads: the first
// millisecond reads the counter every time and calibrates the TSC against it, after that one real
// read every millisecond puts the clock back on the counter, so a value stays within a tick or two
// of what the counter would say at that moment. Values never go backwards.
// Not thread-safe: the stream calls it under its lock.
class PerformanceClock {
public:
    PerformanceClock();
    PerformanceClock(const PerformanceClock&) = delete;
    PerformanceClock& operator=(const PerformanceClock&) = delete;
    // Values never fall below the one in this slot, which the clock updates: clocks of several
    // processes that share a slot (and a lock around Now) give values in the order they are taken.
    void ShareLastValue(int64_t* slot) { last_ = slot != nullptr ? slot : &ownLast_; }
    // Inlined: it is on every recorded call's path.
    __attribute__((always_inline)) int64_t Now() {
        if (!useTsc_) return Monotonic(Counter());
        uint64_t elapsed = Tsc() - base_.tsc;
        // A TSC behind the last real read (another core) also lands here, as a huge elapsed value.
        if (__builtin_expect(elapsed >= resyncTsc_, 0)) return Resync();
        int64_t value = base_.counter + int64_t((uint64_t(uint32_t(elapsed)) * countsPerTsc_) >> 32);
        return Monotonic(value);
    }
    // False when the machine's TSC cannot be trusted and every value is a real counter read.
    bool UsesTsc() const { return useTsc_; }

private:
    // One real counter read and the TSC halfway through it, which stands for the moment of the read.
    struct Sample {
        uint64_t tsc = 0;
        int64_t counter = 0;
        uint64_t span = 0;  // TSC ticks the read took: a long one was interrupted and is imprecise
    };
    static int64_t Counter();
    static uint64_t Tsc() { return __builtin_ia32_rdtsc(); }
    static Sample Read();
    int64_t Resync();
    void Calibrate();
    __attribute__((always_inline)) int64_t Monotonic(int64_t value) {
        if (value < *last_) value = *last_;
        *last_ = value;
        return value;
    }

    bool useTsc_ = false;
    bool haveOrigin_ = false;
    int64_t calibrationCounts_ = 0;  // counter ticks in a millisecond
    Sample origin_;                  // the calibration's baseline grows from here
    Sample base_;                    // latest real read that values are carried forward from
    uint64_t minSpan_ = 0;
    uint64_t resyncTsc_ = 0;         // TSC ticks between real reads; 0 while calibrating
    uint32_t countsPerTsc_ = 0;      // counter ticks per TSC tick, 0.32 fixed point
    int64_t ownLast_ = INT64_MIN;
    int64_t* last_ = &ownLast_;
};

}  // namespace kestrel
