// What the benchmarks that run themselves under capture share: a clock, a window whose context is
// made current through the recorder, and a run of this program with or without a capture whose ring
// this process drains as a controller would.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bench {

// Seconds on the performance counter.
double Now();

// Nanoseconds per call of body(i) over `calls` calls, the best of `rounds` rounds: a busy
// neighbour on the machine shows less.
template <class Body>
double BestNsPerCall(int rounds, int calls, Body body) {
    double best = 1e30;
    for (int round = 0; round < rounds; ++round) {
        const double start = Now();
        for (int i = 0; i < calls; ++i) body(i);
        const double ns = (Now() - start) * 1e9 / calls;
        if (ns < best) best = ns;
    }
    return best;
}

// A small window whose context the recorder creates and makes current, so that the recorder's real
// library renders into it.
bool MakeRecorderContext(HMODULE recorder, const char* className);

// An export of the module as a function pointer of type Fn; null when it has none of that name.
template <class Fn>
Fn Find(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// "key value" lines, as the program half writes its results.
std::map<std::string, double> ReadResults(const std::string& path);

struct CaptureRun {
    bool ok = false;
    std::uint64_t drained = 0;  // bytes taken out of the ring
};

// Runs this program with the arguments, under a capture with a ring of ringMiB when it is not 0;
// waits up to ten minutes. `name` tells the shared objects of the capture apart.
CaptureRun RunSelf(const std::vector<std::string>& arguments, std::uint32_t ringMiB, const std::string& name);

struct PairedResults {
    bool ok = false;
    std::uint64_t drained = 0;  // bytes the captured run put through the ring
    std::map<std::string, double> forward, capture;
    // The lines of "<results>.lines", a file the program half may write beside its results.
    std::vector<std::string> forwardLines, captureLines;
};

// The program half run twice as "--app RECORDER RESULTS": through the recorder with no capture, then
// under a capture (with captureExtra after its arguments); each run's results are read back. Says on
// stderr, as `bench`, which run failed.
PairedResults RunForwardedAndCaptured(const char* bench, const char* recorder, std::uint32_t ringMiB,
                                      const std::vector<std::string>& captureExtra = {});

}  // namespace bench
