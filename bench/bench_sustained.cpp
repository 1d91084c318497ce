// Sustained capture: 2 GiB of buffer uploads (1 MiB glBufferSubData calls) captured by `kestrel
// capture` into a file, against this machine's own buffered file write rate for the same amount,
// measured in the same run. The application's slowdown under capture is reported beside it.
//   bench_sustained [MIB]   (default 2048)
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/support/RunFigures.h"
#include "tests/support/ChildProcess.h"

namespace {
double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

// A plain sequential write of the same size through the C library's buffered stream, closed (so
// flushed) before the clock stops.
double PlainWriteMBps(const std::string& path, std::uint32_t mib) {
    std::vector<unsigned char> block(1u << 20, 0x5A);
    const LARGE_INTEGER start = Now();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    for (std::uint32_t i = 0; i < mib; ++i) {
        block[0] = static_cast<unsigned char>(i);
        if (std::fwrite(block.data(), 1, block.size(), file) != block.size()) break;
    }
    const bool closed = std::fclose(file) == 0;
    const double seconds = Seconds(start, Now());
    DeleteFileA(path.c_str());
    return closed && seconds > 0 ? mib * 1.048576 / seconds : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint32_t mib = argc > 1 ? static_cast<std::uint32_t>(std::atoi(argv[1])) : 2048;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string capture = std::string(temp) + "bench-sustained.kcap", plainFile = std::string(temp) + "bench-sustained.bin";
    const std::string app = KESTREL_LOAD_APP, args = " uploads " + std::to_string(mib);

    const double fileRate = PlainWriteMBps(plainFile, mib);
    const ChildResult plain = RunChild("\"" + app + "\"" + args, 1800000);
    const LARGE_INTEGER start = Now();
    const ChildResult captured =
        RunChild("\"" KESTREL_EXE "\" capture --quiet --out \"" + capture + "\" -- \"" + app + "\"" + args, 1800000);
    const double wall = Seconds(start, Now());
    const double p = bench::AppSeconds(plain.output), c = bench::AppSeconds(captured.output), mb = bench::FileMB(capture);
    DeleteFileA(capture.c_str());
    if (fileRate <= 0 || p <= 0 || c <= 0 || mb < mib * 1.048576) {
        std::fprintf(stderr, "bench_sustained: a run failed\n%s\n%s\n", plain.output.c_str(), captured.output.c_str());
        return 1;
    }
    // Sustained: the ring (64 MiB) is small beside the data, so the uploads can only go on as fast as
    // the capture reaches its file; the application's upload time is the streaming time. The whole
    // run adds the start-up of kestrel and the program, which is slow under emulation.
    const double captureRate = mb / c, wholeRate = mb / wall;
    std::printf("%u MiB of 1 MiB glBufferSubData uploads\n", mib);
    std::printf("  plain buffered file write  %8.1f MB/s\n", fileRate);
    std::printf("  capture, sustained         %8.1f MB/s  (%.0f%% of the plain write; %.1f MB while the uploads ran, %.2f s)\n",
                captureRate, 100.0 * captureRate / fileRate, mb, c);
    std::printf("  capture, whole run         %8.1f MB/s  (start-up and final drain included, %.1f s)\n", wholeRate, wall);
    std::printf("  application's uploads      %8.3f s plain, %.3f s captured (%.2fx)\n", p, c, c / p);
    std::printf("goal (capture at 80%% of the plain file write or more): %s\n", captureRate >= 0.8 * fileRate ? "met" : "MISSED");
    return 0;
}
