// The application's slowdown under capture and the rate at which the capture reaches its file:
// the same program run plainly and under `kestrel capture`, for small calls and 1 MiB data blocks.
//   bench_capture [KESTREL.exe BENCH_APP.exe]   (default: those of this build)
#include <windows.h>
#include <cstdio>
#include <string>

#include "bench/support/RunFigures.h"
#include "tests/support/ChildProcess.h"

int main(int argc, char** argv) {
    const std::string kestrel = argc > 2 ? argv[1] : KESTREL_EXE, app = argc > 2 ? argv[2] : KESTREL_LOAD_APP;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string capture = std::string(temp) + "bench-capture.kcap";
    struct Mode { const char* name; const char* rounds; };
    const Mode modes[] = {{"small", "400000"}, {"large", "300"}};
    std::printf("%-6s %12s %12s %9s %10s %10s\n", "calls", "plain s", "captured s", "slowdown", "file MB", "file MB/s");
    for (const Mode& mode : modes) {
        const std::string args = std::string(mode.name) + " " + mode.rounds;
        const ChildResult plain = RunChild("\"" + app + "\" " + args, 300000);
        const DWORD start = GetTickCount();
        const ChildResult captured =
            RunChild("\"" + kestrel + "\" capture --quiet --out \"" + capture + "\" -- \"" + app + "\" " + args, 300000);
        const double wall = (GetTickCount() - start) / 1000.0;
        const double p = bench::AppSeconds(plain.output), c = bench::AppSeconds(captured.output), mb = bench::FileMB(capture);
        if (p <= 0 || c <= 0) {
            std::fprintf(stderr, "bench_capture: a run reported nothing\n%s\n%s\n", plain.output.c_str(), captured.output.c_str());
            return 1;
        }
        // The file rate counts the whole capture run, start-up and drain included.
        std::printf("%-6s %12.3f %12.3f %8.2fx %10.1f %10.1f\n", mode.name, p, c, c / p, mb, mb / wall);
    }
    DeleteFileA(capture.c_str());
    std::printf("ring-only figures for comparison: bench_stream\n");
    return 0;
}
