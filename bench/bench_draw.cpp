// The draw rate of glDrawArrays over a 1,000-vertex client array (float positions, unsigned byte
// colours) through the recorder under capture, with this process draining the ring as a controller
// does, against the same draws through the recorder with no capture running (forwarding only) and
// straight to the system library.
//   bench_draw                            runs the program twice and prints the table
//   bench_draw --app RECORDER RESULTS [--system]
//                                         the program: draws, writes draws per second
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/support/CaptureRun.h"

namespace {

constexpr int kVertices = 1000;
constexpr int kDrawsPerRound = 100;
constexpr int kRounds = 5;
constexpr std::uint32_t kRingMiB = 64;

struct Functions {
    void(WINAPI* vertexPointer)(int, unsigned, int, const void*);
    void(WINAPI* colorPointer)(int, unsigned, int, const void*);
    void(WINAPI* enableClientState)(unsigned);
    void(WINAPI* drawArrays)(unsigned, int, int);
    void(WINAPI* finish)();
    void(WINAPI* clear)(unsigned);

    explicit Functions(HMODULE m)
        : vertexPointer(bench::Find<decltype(vertexPointer)>(m, "glVertexPointer")),
          colorPointer(bench::Find<decltype(colorPointer)>(m, "glColorPointer")),
          enableClientState(bench::Find<decltype(enableClientState)>(m, "glEnableClientState")),
          drawArrays(bench::Find<decltype(drawArrays)>(m, "glDrawArrays")),
          finish(bench::Find<decltype(finish)>(m, "glFinish")),
          clear(bench::Find<decltype(clear)>(m, "glClear")) {}
    bool ok() const { return vertexPointer && colorPointer && enableClientState && drawArrays && finish && clear; }
};

// Draws per second, best of several rounds; each round ends when the GL has finished its draws.
double DrawRate(const Functions& f, const std::vector<float>& positions, const std::vector<std::uint8_t>& colours) {
    f.vertexPointer(3, 0x1406, 0, positions.data());
    f.colorPointer(4, 0x1401, 0, colours.data());
    f.enableClientState(0x8074);  // vertex array
    f.enableClientState(0x8076);  // colour array
    double best = 0;
    for (int round = 0; round < kRounds; ++round) {
        f.clear(0x4000);
        f.finish();
        const double start = bench::Now();
        for (int i = 0; i < kDrawsPerRound; ++i) f.drawArrays(0x0004, 0, kVertices - kVertices % 3);  // triangles
        f.finish();
        const double rate = kDrawsPerRound / (bench::Now() - start);
        if (rate > best) best = rate;
    }
    return best;
}

int RunApp(const char* recorderPath, const char* resultsPath, bool system) {
    HMODULE recorder = LoadLibraryA(recorderPath);
    if (!recorder) return 3;
    if (!bench::MakeRecorderContext(recorder, "KestrelBenchDraw")) {
        std::fprintf(stderr, "bench_draw: no OpenGL context\n");
        return 4;
    }
    // Small triangles scattered over the window, so that drawing costs what vertex work costs.
    std::vector<float> positions;
    std::vector<std::uint8_t> colours;
    for (int i = 0; i < kVertices; ++i) {
        const float x = static_cast<float>((i * 37) % 100) / 50.0f - 1.0f, y = static_cast<float>((i * 91) % 100) / 50.0f - 1.0f;
        positions.insert(positions.end(), {x + 0.02f * static_cast<float>(i % 3), y + 0.02f * static_cast<float>(i % 2), 0.0f});
        colours.insert(colours.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 3), 200, 255});
    }
    std::vector<std::pair<const char*, Functions>> paths = {{"recorder", Functions(recorder)}};
    // Under capture the recorder bound the system directory's OpenGL32.dll, the module of that name here.
    if (system) paths.push_back({"system", Functions(GetModuleHandleA("opengl32.dll"))});
    std::ofstream out(resultsPath);
    for (const auto& [label, f] : paths) {
        if (!f.ok()) return 5;
        out << label << ' ' << DrawRate(f, positions, colours) << '\n';
    }
    return out ? 0 : 6;
}

int RunBench() {
    const bench::PairedResults runs =
        bench::RunForwardedAndCaptured("bench_draw", KESTREL_RECORDER_DLL, kRingMiB, {"--system"});
    if (!runs.ok) return 1;
    const std::map<std::string, double>& forward = runs.forward;
    const std::map<std::string, double>& capture = runs.capture;
    const std::uint64_t drained = runs.drained;
    if (!forward.count("recorder") || !capture.count("recorder") || !capture.count("system")) {
        std::fprintf(stderr, "bench_draw: results missing\n");
        return 1;
    }
    const double uncaptured = forward.at("recorder"), recorded = capture.at("recorder");
    std::printf("%llu MiB drained from the ring by this process\n", static_cast<unsigned long long>(drained >> 20));
    std::printf("glDrawArrays of %d client vertices (positions and colours), draws per second:\n", kVertices);
    std::printf("  system %.0f   forwarding %.0f   under capture %.0f   (%.0f%% of forwarding)\n", capture.at("system"),
                uncaptured, recorded, 100.0 * recorded / uncaptured);
    std::printf("goal (under capture at least 90%% of the rate without): %s\n",
                recorded >= 0.9 * uncaptured ? "met" : "MISSED");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "--app") == 0) return RunApp(argv[2], argv[3], argc == 5);
    return RunBench();
}
