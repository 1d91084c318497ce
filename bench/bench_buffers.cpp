// Cost of recording buffer data: glBufferSubData and a mapped-range write (map, copy, unmap) of
// 1 MiB and of 64 KiB through the recorder, in a program under capture whose ring this process
// drains, against the same calls with no capture running. The time recording adds is set against
// memcpy of the same size in the same program: the recorded bytes should move at no less than 75%
// of memcpy's rate.
//   bench_buffers                      runs the program twice and prints the table
//   bench_buffers --app RECORDER RESULTS   the program: makes the calls, writes ns per call
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/support/CaptureRun.h"

namespace {

constexpr std::uint32_t kRingMiB = 64;
constexpr int kRounds = 7;
constexpr std::uint32_t kSizes[] = {1u << 20, 64u << 10};

template <class Body>
double NsPerCall(int calls, Body body) { return bench::BestNsPerCall(kRounds, calls, body); }

// Enough calls that a round moves about 64 MiB.
int CallsFor(std::uint32_t size) { return static_cast<int>((64u << 20) / size); }

using GenBuffersFn = void(WINAPI*)(int, unsigned*);
using BindBufferFn = void(WINAPI*)(unsigned, unsigned);
using BufferDataFn = void(WINAPI*)(unsigned, std::intptr_t, const void*, unsigned);
using BufferSubDataFn = void(WINAPI*)(unsigned, std::intptr_t, std::intptr_t, const void*);
using MapBufferRangeFn = void*(WINAPI*)(unsigned, std::intptr_t, std::intptr_t, unsigned);
using UnmapBufferFn = unsigned char(WINAPI*)(unsigned);
using GetProcAddressFn = PROC(WINAPI*)(const char*);

int RunApp(const char* recorderPath, const char* resultsPath) {
    HMODULE recorder = LoadLibraryA(recorderPath);
    if (!recorder || !bench::MakeRecorderContext(recorder, "KestrelBenchBuffers")) {
        std::fprintf(stderr, "bench_buffers: no OpenGL context through the recorder\n");
        return 3;
    }
    auto lookup = bench::Find<GetProcAddressFn>(recorder, "wglGetProcAddress");
    auto get = [&](const char* name) { return reinterpret_cast<void*>(lookup(name)); };
    auto genBuffers = reinterpret_cast<GenBuffersFn>(get("glGenBuffers"));
    auto bindBuffer = reinterpret_cast<BindBufferFn>(get("glBindBuffer"));
    auto bufferData = reinterpret_cast<BufferDataFn>(get("glBufferData"));
    auto bufferSubData = reinterpret_cast<BufferSubDataFn>(get("glBufferSubData"));
    auto mapBufferRange = reinterpret_cast<MapBufferRangeFn>(get("glMapBufferRange"));
    auto unmapBuffer = reinterpret_cast<UnmapBufferFn>(get("glUnmapBuffer"));
    if (!genBuffers || !bindBuffer || !bufferData || !bufferSubData || !mapBufferRange || !unmapBuffer) return 4;

    constexpr unsigned kArray = 0x8892, kStreamDraw = 0x88E0, kWriteInvalidate = 0x0002 | 0x0004;
    unsigned buffer = 0;
    genBuffers(1, &buffer);
    bindBuffer(kArray, buffer);
    bufferData(kArray, kSizes[0], nullptr, kStreamDraw);
    std::vector<std::uint8_t> source(kSizes[0], 0x5A);
    std::vector<std::uint8_t> ring(kRingMiB << 20);
    std::map<std::string, double> ns;
    for (std::uint32_t size : kSizes) {
        const std::string suffix = "." + std::to_string(size >> 10);
        ns["subdata" + suffix] = NsPerCall(CallsFor(size), [&](int) { bufferSubData(kArray, 0, size, source.data()); });
        bool mapped = true;
        ns["mapped" + suffix] = NsPerCall(CallsFor(size), [&](int) {
            void* p = mapBufferRange(kArray, 0, size, kWriteInvalidate);
            if (!p) {
                mapped = false;
                return;
            }
            std::memcpy(p, source.data(), size);
            unmapBuffer(kArray);
        });
        if (!mapped) return 5;
        // memcpy as the ring sees it: each block to the next place in a destination as large as the ring.
        volatile std::uint32_t runtimeSize = size;
        const std::uint32_t slots = (kRingMiB << 20) / size;
        ns["memcpy" + suffix] = NsPerCall(CallsFor(size), [&](int i) {
            std::memcpy(ring.data() + static_cast<std::size_t>(static_cast<std::uint32_t>(i) % slots) * size,
                        source.data(), runtimeSize);
        });
    }
    std::ofstream out(resultsPath);
    for (const auto& [key, value] : ns) out << key << ' ' << value << '\n';
    return out ? 0 : 6;
}

int RunBench() {
    const bench::PairedResults runs =
        bench::RunForwardedAndCaptured("bench_buffers", KESTREL_RECORDER_DLL, kRingMiB);
    if (!runs.ok) return 1;
    const std::map<std::string, double>& forward = runs.forward;
    const std::map<std::string, double>& capture = runs.capture;
    const std::uint64_t drained = runs.drained;

    std::printf("%llu MiB drained from the ring by this process\n", static_cast<unsigned long long>(drained >> 20));
    std::printf("%-16s %12s %12s %12s %10s %10s %8s\n", "call", "forwarded ns", "recorded ns", "added ns",
                "rec GB/s", "memcpy GB/s", "of memcpy");
    bool met = true;
    for (std::uint32_t size : kSizes) {
        const std::string suffix = "." + std::to_string(size >> 10);
        const double memcpyRate = size / capture.at("memcpy" + suffix);  // bytes per ns = GB/s
        for (const char* kind : {"subdata", "mapped"}) {
            const std::string key = kind + suffix;
            const double added = capture.at(key) - forward.at(key);
            const double rate = added > 0 ? size / added : 1e9;
            const double share = rate / memcpyRate;
            met = met && share >= 0.75;
            std::printf("%-16s %12.0f %12.0f %12.0f %10.2f %10.2f %7.0f%%\n",
                        (std::string(kind) + " " + std::to_string(size >> 10) + " KiB").c_str(), forward.at(key),
                        capture.at(key), added, rate, memcpyRate, 100.0 * share);
        }
    }
    std::printf("goal (recorded bytes at 75%% of memcpy or more): %s\n", met ? "met" : "MISSED");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--app") == 0) return RunApp(argv[2], argv[3]);
    return RunBench();
}
