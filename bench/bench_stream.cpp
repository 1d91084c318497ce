// Records through the capture stream and the shared ring to a draining reader in another process,
// beside plain memcpy of the same payloads on the same machine in the same run.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "stream/CaptureStream.h"
#include "stream/RecordHeader.h"
#include "stream/RingBuffer.h"
#include "stream/RingReader.h"
#include "tests/stream/support/ReaderThread.h"
#include "tests/stream/support/SelfProcess.h"

namespace kestrel {
namespace {

constexpr uint32_t kCapacity = 64u << 20;  // the controlling process's usual ring
constexpr uint32_t kOpeningSize = 344;

struct Load {
    const char* label;
    uint32_t payload;
    uint32_t records;
};

// About a second each on this kind of machine.
const Load kLoads[] = {
    {"16 B", 16, 8000000},
    {"256 B", 256, 3000000},
    {"64 KiB", 64u << 10, 40000},
    {"4 MiB", 4u << 20, 600},
};
constexpr Load kWarmUp = {"warm-up", 1u << 20, 256};

uint64_t StreamBytes(const Load& load) { return uint64_t(load.records) * (sizeof(RecordHeader) + load.payload); }

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// The controlling process's part: drain everything into a buffer, as a file write would take it.
int RunReader(const char* name, uint64_t expected) {
    RingBuffer ring;
    if (ring.Open(0, kCapacity, name) != 0) return 2;
    RingReader reader(ring, 1u << 20, 4u << 20);
    std::vector<uint8_t> file(1u << 20);
    uint64_t drained = 0;
    auto lastData = Clock::now();
    while (drained < expected) {
        uint32_t got = reader.DrainOnce([&](const uint8_t* p, uint32_t n) { std::memcpy(file.data(), p, n); }, 1);
        drained += got;
        if (got != 0) {
            lastData = Clock::now();
        } else if (Seconds(lastData) > 30) {
            std::fprintf(stderr, "reader: nothing for 30 s after %llu of %llu bytes\n", (unsigned long long)drained,
                         (unsigned long long)expected);
            return 3;
        }
    }
    return drained == expected ? 0 : 4;
}

double RunThroughRing(CaptureStream& stream, RingBuffer& ring, const Load& load, const uint8_t* source) {
    auto start = Clock::now();
    for (uint32_t i = 0; i < load.records; ++i) {
        stream.AcquireLock();
        stream.WriteRecordHeader(kFirstApiId + 1, load.payload);
        stream.WriteBytes(load.payload, source);
        stream.ReleaseLock();
    }
    while (ring.GetUsedSize() != 0) Sleep(0);  // done when the reader has it all
    return Seconds(start);
}

// memcpy of the same payloads, walking through a destination as large as the ring as the ring does.
double RunMemcpy(const Load& load, const uint8_t* source, uint8_t* dest) {
    volatile uint32_t size = load.payload;  // keep the call a plain library memcpy of a run-time size
    uint32_t offset = 0;
    auto start = Clock::now();
    for (uint32_t i = 0; i < load.records; ++i) {
        if (offset + size > kCapacity) offset = 0;
        std::memcpy(dest + offset, source, size);
        offset += size;
    }
    return Seconds(start);
}

// The fixed part of a record on this machine: a performance counter read alone, and a 16-byte record written
// by one thread into a ring that nobody else touches.
void PrintFloor(const uint8_t* source) {
    constexpr uint32_t kCalls = 2000000;
    LARGE_INTEGER counter;
    auto start = Clock::now();
    for (uint32_t i = 0; i < kCalls; ++i) QueryPerformanceCounter(&counter);
    double counterNs = Seconds(start) * 1e9 / kCalls;

    std::string name = "Local\\KestrelBenchQuiet_" + std::to_string(GetCurrentProcessId());
    RingBuffer ring;
    ring.Open(1, kCapacity, name.c_str());
    CaptureStream stream;
    stream.Init(name.c_str(), 2, kCapacity);
    constexpr uint32_t kPerFill = kCapacity / 2 / 32;
    double seconds = 0;
    for (int fill = 0; fill < 4; ++fill) {  // the first fill maps the pages in and is not counted
        ring.Consume(ring.GetUsedSize());
        start = Clock::now();
        for (uint32_t i = 0; i < kPerFill; ++i) {
            stream.AcquireLock();
            stream.WriteRecordHeader(kFirstApiId + 1, 16);
            stream.WriteBytes(16, source);
            stream.ReleaseLock();
        }
        if (fill > 0) seconds += Seconds(start);
    }
    double recordNs = seconds * 1e9 / (3.0 * kPerFill);
    std::printf("QueryPerformanceCounter %.0f ns (time stamps read it once a millisecond); a 16 B record without a "
                "reader %.0f ns (%.1f million/s)\n", counterNs,
                recordNs, 1e3 / recordNs);
}

int RunWriter() {
    std::string name = "Local\\KestrelBenchRing_" + std::to_string(GetCurrentProcessId());
    // Created on a thread of its own, as the controlling process does: this thread writes.
    RingBuffer ring;
    kestrel::testing::ReaderThread creator(ring, kCapacity, name.c_str());
    if (creator.OpenResult() != 0) {
        std::fprintf(stderr, "cannot create the ring\n");
        return 1;
    }
    uint64_t expected = kOpeningSize + StreamBytes(kWarmUp);
    for (const Load& load : kLoads) expected += StreamBytes(load);
    kestrel::testing::SelfProcess reader({"--reader", name, std::to_string(expected)});
    if (!reader.Started()) {
        std::fprintf(stderr, "cannot start the reader\n");
        return 1;
    }

    std::vector<uint8_t> source(4u << 20);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
    std::vector<uint8_t> dest(kCapacity);
    std::memset(dest.data(), 1, dest.size());

    CaptureStream stream;
    stream.Init(name.c_str(), 2, kCapacity);
    RunThroughRing(stream, ring, kWarmUp, source.data());  // maps in both processes' pages of the ring

    PrintFloor(source.data());
    std::printf("ring %u MiB, reader in another process; MB = 10^6 payload bytes\n", kCapacity >> 20);
    std::printf("%-8s %9s %14s %10s %14s %10s %7s\n", "payload", "records", "ring rec/s", "ring MB/s", "memcpy /s",
                "memcpy MB/s", "ratio");
    bool goals = true;
    for (const Load& load : kLoads) {
        double ringSeconds = RunThroughRing(stream, ring, load, source.data());
        double copySeconds = RunMemcpy(load, source.data(), dest.data());
        double bytes = double(load.records) * load.payload;
        double ratio = copySeconds / ringSeconds;
        std::printf("%-8s %9u %14.0f %10.0f %14.0f %10.0f %6.0f%%\n", load.label, load.records,
                    load.records / ringSeconds, bytes / ringSeconds / 1e6, load.records / copySeconds,
                    bytes / copySeconds / 1e6, ratio * 100);
        if (load.payload == 16 && load.records / ringSeconds < 5e6) goals = false;
        if (load.payload >= (64u << 10) && ratio < 0.5) goals = false;
    }
    int readerResult = reader.Wait(60000);
    std::printf("goals (16 B: 5 million records/s; 64 KiB and up: 50%% of memcpy): %s\n", goals ? "met" : "MISSED");
    if (readerResult != 0) {
        std::fprintf(stderr, "the reader failed (%d)\n", readerResult);
        return 1;
    }
    return 0;
}

}  // namespace
}  // namespace kestrel

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--reader") == 0) {
        return kestrel::RunReader(argv[2], std::strtoull(argv[3], nullptr, 10));
    }
    return kestrel::RunWriter();
}
