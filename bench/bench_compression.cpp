// Compressed capture files against raw ones, in one run on the same program: bytes per call and the
// application's slowdown for small calls, and for 1 MiB uploads the rate at which the stream reaches
// the file. Each mode runs a few times; the best run counts and the spread shows the noise.
//   bench_compression [ROUNDS [LOAD]]   (default 3 rounds of both loads; LOAD: small or uploads)
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/support/RunFigures.h"
#include "tests/support/ChildProcess.h"

namespace {
double Calls(const std::string& output) {
    const std::size_t at = output.find("capture_load_app: ");
    return at == std::string::npos ? 0 : std::atof(output.c_str() + at + 18);
}

struct Figures {
    std::vector<double> seconds;
    double calls = 0, fileMB = 0;
    double best() const { return *std::min_element(seconds.begin(), seconds.end()); }
    double spread() const { return *std::max_element(seconds.begin(), seconds.end()) / best() - 1; }
};
}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string capture = std::string(temp) + "bench-compression.kcap", app = KESTREL_LOAD_APP;
    struct Load { const char* name; const char* args; };
    const Load loads[] = {{"small calls", "small 100000"}, {"1 MiB uploads", "uploads 400"}};
    const char* modes[] = {"plain", "--compress none", "--compress zstd"};
    for (const Load& load : loads) {
        if (argc > 2 && std::string(load.args).find(argv[2]) != 0) continue;
        Figures figures[3];
        for (int round = 0; round < rounds; ++round) {
            for (int m = 0; m < 3; ++m) {
                const std::string command = m == 0 ? "\"" + app + "\" " + load.args
                                                   : "\"" KESTREL_EXE "\" capture --quiet " + std::string(modes[m]) +
                                                         " --out \"" + capture + "\" -- \"" + app + "\" " + load.args;
                const ChildResult run = RunChild(command, 600000);
                const double seconds = bench::AppSeconds(run.output);
                if (seconds <= 0) {
                    std::fprintf(stderr, "bench_compression: a run reported nothing\n%s\n", run.output.c_str());
                    return 1;
                }
                figures[m].seconds.push_back(seconds);
                figures[m].calls = Calls(run.output);
                if (m > 0) figures[m].fileMB = bench::FileMB(capture);
            }
        }
        DeleteFileA(capture.c_str());
        const double plain = figures[0].best(), streamMB = figures[1].fileMB;
        std::printf("%s (%.0f calls, %.1f MB of stream; best of %d, spread = slowest/best - 1)\n", load.name,
                    figures[0].calls, streamMB, rounds);
        std::printf("  %-16s %9s %8s %9s %10s %12s %12s\n", "", "app s", "spread", "slowdown", "file MB", "bytes/call", "stream MB/s");
        for (int m = 0; m < 3; ++m) {
            const Figures& f = figures[m];
            std::printf("  %-16s %9.3f %7.1f%% %8.3fx", modes[m], f.best(), 100 * f.spread(), f.best() / plain);
            if (m == 0)
                std::printf("\n");
            else
                std::printf(" %10.2f %12.2f %12.1f\n", f.fileMB, f.fileMB * 1e6 / f.calls, streamMB / f.best());
        }
    }
    std::printf("goals: small calls at 10 bytes per call or less and no slowdown beyond the spread with zstd;\n"
                "       uploads reach the file with zstd at least as fast as with --compress none\n");
    return 0;
}
