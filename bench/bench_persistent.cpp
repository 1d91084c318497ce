// The cost of capturing persistent mappings: a program streaming 4 MiB a frame through a persistent
// ring of 3 x 4 MiB, run plainly and under `kestrel capture`. Per frame: the application's time
// without and with capture, the bytes the program wrote, and the mapped-write bytes the capture holds
// (the changed bytes only, against what whole written pages would have cost).
//   bench_persistent [KESTREL.exe APP.exe]   (default: those of this build)
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "stream/StreamRecordId.h"
#include "tests/support/ChildProcess.h"

namespace {

struct AppRun {
    double seconds = -1;
    double written = 0;
};

AppRun Figures(const std::string& output) {
    AppRun run;
    const std::size_t at = output.find(" frames in ");
    if (at == std::string::npos) return run;
    run.seconds = std::atof(output.c_str() + at + 11);
    const std::size_t comma = output.find(", ", at);
    if (comma != std::string::npos) run.written = std::atof(output.c_str() + comma + 2);
    return run;
}

// The mapped-write records of a raw capture: their count and the bytes of their runs.
struct MappedWrites {
    std::uint64_t records = 0, bytes = 0, runs = 0;
};

MappedWrites ReadMappedWrites(const std::string& path) {
    MappedWrites found;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return found;
    std::vector<unsigned char> payload;
    unsigned char header[16];
    while (std::fread(header, 1, 16, file) == 16) {
        std::uint32_t id, size;
        std::memcpy(&id, header, 4);
        std::memcpy(&size, header + 4, 4);
        if (id != kestrel::kMappedWriteRecord) {
            if (_fseeki64(file, size, SEEK_CUR) != 0) break;
            continue;
        }
        std::uint32_t head[2] = {};
        if (size < 8 || std::fread(head, 1, 8, file) != 8) break;
        ++found.records;
        found.runs += head[1];
        found.bytes += size - 8 - 8ull * head[1];
        if (_fseeki64(file, size - 8, SEEK_CUR) != 0) break;
    }
    std::fclose(file);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kestrel = argc > 2 ? argv[1] : KESTREL_EXE, app = argc > 2 ? argv[2] : KESTREL_PERSISTENT_APP;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string capture = std::string(temp) + "bench-persistent.kcap";
    constexpr int kFrames = 120;
    std::printf("4 MiB a frame through a persistent coherent ring of 3 x 4 MiB, %d frames\n", kFrames);
    std::printf("%-10s %10s %12s %9s %13s %14s %10s\n", "mode", "plain ms", "captured ms", "slowdown",
                "written/frame", "recorded/frame", "runs/frame");
    for (const char* mode : {"changing", "repeating", "sparse"}) {
        const std::string args = std::string(mode) + " " + std::to_string(kFrames);
        const AppRun plain = Figures(RunChild("\"" + app + "\" " + args, 300000).output);
        const ChildResult run = RunChild("\"" + kestrel + "\" capture --quiet --compress none --out \"" + capture +
                                             "\" -- \"" + app + "\" " + args,
                                         600000);
        const AppRun captured = Figures(run.output);
        if (plain.seconds <= 0 || captured.seconds <= 0) {
            std::fprintf(stderr, "bench_persistent: a run reported nothing\n%s\n", run.output.c_str());
            return 1;
        }
        const MappedWrites writes = ReadMappedWrites(capture);
        std::printf("%-10s %10.3f %12.3f %8.2fx %13.0f %14.0f %10.1f\n", mode, plain.seconds * 1000 / kFrames,
                    captured.seconds * 1000 / kFrames, captured.seconds / plain.seconds, captured.written / kFrames,
                    static_cast<double>(writes.bytes) / kFrames, static_cast<double>(writes.runs) / kFrames);
    }
    DeleteFileA(capture.c_str());
    std::printf("whole written pages would record 4194304 bytes a frame in every mode\n");
    return 0;
}
