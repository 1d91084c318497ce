// Cost of a recorded call: small calls (glVertex3f, glColor4f) and a call with a 1 MiB data block
// (glGetTextureImage into a 1 MiB buffer), through the recorder in a program under capture whose
// ring this process drains, against the same calls through the recorder with no capture running
// (forwarding only) and straight to the system library. The data block is set against memcpy of
// 1 MiB in the same program.
//   bench_record                          runs the program twice and prints the table
//   bench_record --app RECORDER RESULTS [--system]
//                                         the program: makes the calls, writes ns per call (with
//                                         --system also straight to the library the recorder bound)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/support/CaptureRun.h"

namespace {

constexpr std::uint32_t kBlockBytes = 1u << 20;
constexpr std::uint32_t kRingMiB = 64;
constexpr int kRounds = 7;

template <class Body>
double NsPerCall(int calls, Body body) { return bench::BestNsPerCall(kRounds, calls, body); }

using Vertex3fFn = void(WINAPI*)(float, float, float);
using Color4fFn = void(WINAPI*)(float, float, float, float);
using GetTextureImageFn = void(WINAPI*)(unsigned, int, unsigned, unsigned, int, void*);
using GetProcAddressFn = PROC(WINAPI*)(const char*);

struct Functions {
    Vertex3fFn vertex3f;
    Color4fFn color4f;
    GetTextureImageFn getTextureImage;
};

Functions Bind(HMODULE module) {
    Functions f{bench::Find<Vertex3fFn>(module, "glVertex3f"), bench::Find<Color4fFn>(module, "glColor4f"), nullptr};
    auto lookup = bench::Find<GetProcAddressFn>(module, "wglGetProcAddress");
    // The recorder hands its interceptor out from the second lookup on when no context was made
    // current through it.
    lookup("glGetTextureImage");
    f.getTextureImage = reinterpret_cast<GetTextureImageFn>(reinterpret_cast<void*>(lookup("glGetTextureImage")));
    return f;
}

int RunApp(const char* recorderPath, const char* resultsPath, bool system) {
    HMODULE recorder = LoadLibraryA(recorderPath);
    if (!recorder) return 3;
    if (!bench::MakeRecorderContext(recorder, "KestrelBenchRecord")) {
        std::fprintf(stderr, "bench_record: no OpenGL context\n");
        return 4;
    }
    std::vector<std::pair<const char*, Functions>> paths = {{"recorder", Bind(recorder)}};
    // Under capture the recorder bound the system directory's OpenGL32.dll, the module of that name here.
    if (system) paths.push_back({"system", Bind(GetModuleHandleA("opengl32.dll"))});
    for (const auto& path : paths)
        if (!path.second.vertex3f || !path.second.color4f || !path.second.getTextureImage) return 5;

    std::vector<std::uint8_t> pixels(kBlockBytes, 0x5A);
    std::map<std::string, double> ns;
    for (const auto& [label, f] : paths) {
        const std::string prefix = std::string(label) + ".";
        ns[prefix + "glVertex3f"] = NsPerCall(1000000, [&](int i) { f.vertex3f(static_cast<float>(i), 1.0f, 2.0f); });
        ns[prefix + "glColor4f"] = NsPerCall(1000000, [&](int i) { f.color4f(0.5f, static_cast<float>(i), 0.25f, 1.0f); });
        // Texture 0 has no image: the real call ends at once, the recorder still copies the buffer.
        ns[prefix + "block"] = NsPerCall(200, [&](int) {
            f.getTextureImage(0, 0, 0x1908, 0x1401, static_cast<int>(kBlockBytes), pixels.data());
        });
    }
    // memcpy as the ring sees it: each block to the next place in a destination as large as the ring.
    std::vector<std::uint8_t> ring(kRingMiB << 20);
    volatile std::uint32_t size = kBlockBytes;  // a library memcpy of a run-time size
    ns["memcpy"] = NsPerCall(200, [&](int i) {
        std::memcpy(ring.data() + (static_cast<std::size_t>(i) % kRingMiB) * kBlockBytes, pixels.data(), size);
    });
    ns["counter"] = NsPerCall(1000000, [](int) {
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
    });
    std::ofstream out(resultsPath);
    for (const auto& [key, value] : ns) out << key << ' ' << value << '\n';
    return out ? 0 : 6;
}

int RunBench() {
    const bench::PairedResults runs =
        bench::RunForwardedAndCaptured("bench_record", KESTREL_RECORDER_DLL, kRingMiB, {"--system"});
    if (!runs.ok) return 1;
    const std::map<std::string, double>& forward = runs.forward;
    const std::map<std::string, double>& capture = runs.capture;
    const std::uint64_t drained = runs.drained;

    std::printf("%llu MiB drained from the ring by this process\n", static_cast<unsigned long long>(drained >> 20));
    std::printf("ns per call        system   forwarding   recorded   added by recording\n");
    for (const char* name : {"glVertex3f", "glColor4f"}) {
        const std::string key = std::string("recorder.") + name;
        std::printf("%-16s %8.1f %12.1f %10.1f %12.1f\n", name, capture.at(std::string("system.") + name),
                    forward.at(key), capture.at(key), capture.at(key) - forward.at(key));
    }
    const double added = capture.at("recorder.block") - forward.at("recorder.block");
    const double blockRate = kBlockBytes / added, memcpyRate = kBlockBytes / capture.at("memcpy");  // bytes per ns
    std::printf("1 MiB data block  %8.0f %12.0f %10.0f %12.0f\n", capture.at("system.block"),
                forward.at("recorder.block"), capture.at("recorder.block"), added);
    std::printf("1 MiB block: %.2f GB/s recorded, memcpy %.2f GB/s: %.0f%% of memcpy\n", blockRate, memcpyRate,
                100.0 * blockRate / memcpyRate);
    std::printf("QueryPerformanceCounter: %.0f ns a read (record time stamps read it once a millisecond)\n",
                capture.at("counter"));
    const bool met = capture.at("recorder.glVertex3f") - forward.at("recorder.glVertex3f") <= 150 &&
                     capture.at("recorder.glColor4f") - forward.at("recorder.glColor4f") <= 150 &&
                     blockRate >= 0.5 * memcpyRate;
    std::printf("goals (at most 150 ns added per small call; 1 MiB blocks at 50%% of memcpy or more): %s\n",
                met ? "met" : "MISSED");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "--app") == 0) return RunApp(argv[2], argv[3], argc == 5);
    return RunBench();
}
