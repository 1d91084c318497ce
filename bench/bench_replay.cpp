// The replay's frame rate against the original program's own, in one run on this machine: glfw's gears
// runs plainly and reports its own frames per second; the same program is captured for a few hundred
// frames, and `kestrel replay --benchmark` draws the capture again, several times over.
//   bench_replay [ROUNDS [FRAMES]]   (default 3 rounds, 240 captured frames)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ChildProcess.h"

namespace {
// gears prints "N frames in S seconds = F FPS" every five seconds: the last line is the steadiest.
double GearsRate(const std::string& output) {
    double rate = 0;
    for (std::size_t at = output.find(" FPS"); at != std::string::npos; at = output.find(" FPS", at + 1)) {
        const std::size_t equals = output.rfind('=', at);
        if (equals != std::string::npos) rate = std::atof(output.c_str() + equals + 1);
    }
    return rate;
}

// "benchmark: N frames in S s: F frames per second"
double ReplayRate(const std::string& output) {
    const std::size_t at = output.find(" s: ");
    return at == std::string::npos ? 0 : std::atof(output.c_str() + at + 4);
}

// Closes the gears window after `seconds`, as a user would.
void CloseGearsAfter(int seconds) {
    Sleep(static_cast<DWORD>(seconds) * 1000);
    if (HWND window = FindWindowA(nullptr, "Gears")) PostMessageA(window, WM_CLOSE, 0, 0);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int frames = argc > 2 ? std::max(30, std::atoi(argv[2])) : 240;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "bench-replay";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string gears = folder + "\\gears.exe", capture = folder + "\\gears.kcap";
    if (!CopyFileA(KESTREL_GLFW_EXAMPLES "/gears.exe", gears.c_str(), FALSE)) {
        std::fprintf(stderr, "bench_replay: no gears.exe (scripts/setup.sh builds it)\n");
        return 1;
    }
    std::vector<double> original, replayed;
    for (int round = 0; round < rounds; ++round) {
        // Twelve seconds: two of gears' five-second reports.
        std::thread closer(CloseGearsAfter, 12);
        const ChildResult plain = RunChild("\"" + gears + "\"", 120000);
        closer.join();
        const double rate = GearsRate(plain.output);
        if (rate <= 0) {
            std::fprintf(stderr, "bench_replay: gears reported no rate\n%s\n", plain.output.c_str());
            return 1;
        }
        original.push_back(rate);
    }
    const ChildResult captured = RunChild("\"" KESTREL_EXE "\" capture --quiet --stop-after-frames " + std::to_string(frames) +
                                              " --out \"" + capture + "\" -- \"" + gears + "\"",
                                          600000);
    if (captured.exitCode != 0) {
        std::fprintf(stderr, "bench_replay: the capture failed\n%s\n", captured.output.c_str());
        return 1;
    }
    for (int round = 0; round < rounds; ++round) {
        // The first frames make the contexts and the lists: the rate is that of the frames after them.
        const ChildResult run = RunChild("\"" KESTREL_EXE "\" replay \"" + capture + "\" --benchmark --frames 11- --loop 2",
                                         600000);
        const double rate = ReplayRate(run.output);
        if (run.exitCode != 0 || rate <= 0) {
            std::fprintf(stderr, "bench_replay: the replay failed\n%s\n", run.output.c_str());
            return 1;
        }
        replayed.push_back(rate);
    }
    DeleteFileA(capture.c_str());
    DeleteFileA(gears.c_str());
    RemoveDirectoryA(folder.c_str());

    auto row = [](const char* what, const std::vector<double>& rates) {
        std::printf("  %-34s median %8.2f fps  (min %.2f, max %.2f)\n", what, Median(rates),
                    *std::min_element(rates.begin(), rates.end()), *std::max_element(rates.begin(), rates.end()));
    };
    std::printf("glfw gears, %d rounds each\n", rounds);
    row("gears run plainly (its own report)", original);
    row("kestrel replay of its capture", replayed);
    const double ratio = Median(replayed) / Median(original);
    std::printf("  replay / original: %.2f  goal >= 1.00: %s\n", ratio, ratio >= 1.0 ? "met" : "missed");
    return 0;
}
