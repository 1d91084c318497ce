// What a recorded small call costs the program that makes it under a real capture: call_loop_app run
// plainly and under `kestrel capture`, in one run, several rounds, with the nanoseconds each call
// gains, the capture's bytes per call, and the machine's own costs of a time-stamp read and an
// interlocked operation beside them. Every captured run is read back: it must hold exactly the calls
// the program made.
// Two figures a function: what the whole loop gained a call (everything the capture costs the
// program, and on a shared machine also whatever else ran meanwhile), and what its median batch of a
// thousand calls gained (the calls' own cost, which other work on the machine rarely reaches).
//   bench_call_cost [ROUNDS [CALLS]]   (default 5 rounds of 200,000 calls a function)
#include <windows.h>
#include <intrin.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/support/RunFigures.h"
#include "controller/reading/CaptureFileReader.h"
#include "gen/ApiTable.h"
#include "tests/support/ChildProcess.h"

namespace {

struct Function {
    const char* name;
    std::uint32_t apiId;
};
const Function kFunctions[] = {
    {"glVertex3f", kestrel::api::glVertex3f},
    {"glColor4f", kestrel::api::glColor4f},
    {"glUniform4fv", kestrel::api::glUniform4fv},
    {"glTexParameteri", kestrel::api::glTexParameteri},
};

struct LoopNs {
    double whole = 0;        // the whole loop's nanoseconds a call
    double medianBatch = 0;  // a call's nanoseconds in the loop's median batch
};

// "loop NAME CALLS SECONDS MEDIAN_NS LOWEST_NS" lines by name.
std::map<std::string, LoopNs> NsPerCall(const std::string& output) {
    std::map<std::string, LoopNs> ns;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string word, name;
        double calls = 0, seconds = 0, median = 0, lowest = 0;
        if (!(words >> word >> name >> calls >> seconds >> median >> lowest) || word != "loop" || calls <= 0) continue;
        ns[name] = LoopNs{seconds * 1e9 / calls, median};
    }
    return ns;
}

double Spread(const std::vector<double>& values) {
    return *std::max_element(values.begin(), values.end()) - *std::min_element(values.begin(), values.end());
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Nanoseconds of one operation, timed over many.
template <class Op>
double NsEach(Op op, int count) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < count; ++i) op();
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart) / count;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int calls = argc > 2 ? std::max(1000, std::atoi(argv[2])) : 200000;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string capture = std::string(temp) + "bench-call-cost.kcap";
    const std::string app = "\"" KESTREL_CALL_LOOP_APP "\" " + std::to_string(calls);

    volatile unsigned long long sink = 0;
    volatile long word = 0;
    const double tscNs = NsEach([&] { sink = sink + __rdtsc(); }, 5000000);
    const double interlockedNs = NsEach([&] { _InterlockedExchange(&word, word + 1); }, 5000000);

    std::map<std::string, std::vector<double>> added, addedInBatch;
    std::map<std::string, double> recordBytes;
    std::map<std::string, std::uint64_t> recordCount;
    double fileBytes = 0;
    for (int round = 0; round < rounds; ++round) {
        const ChildResult plain = RunChild(app, 600000);
        const ChildResult captured =
            RunChild("\"" KESTREL_EXE "\" capture --quiet --out \"" + capture + "\" -- " + app, 600000);
        const std::map<std::string, LoopNs> p = NsPerCall(plain.output), c = NsPerCall(captured.output);
        if (p.size() != 4 || c.size() != 4) {
            std::fprintf(stderr, "bench_call_cost: a run reported no loops\n%s\n%s\n", plain.output.c_str(),
                         captured.output.c_str());
            return 1;
        }
        for (const Function& f : kFunctions) {
            added[f.name].push_back(c.at(f.name).whole - p.at(f.name).whole);
            addedInBatch[f.name].push_back(c.at(f.name).medianBatch - p.at(f.name).medianBatch);
        }

        // The capture holds exactly the calls made: as many records of each function as calls.
        kestrel::CaptureFileReader reader;
        std::string error;
        if (!reader.Open(capture, error)) {
            std::fprintf(stderr, "bench_call_cost: %s\n", error.c_str());
            return 1;
        }
        reader.SetPayloadLimit(0);
        std::map<std::uint32_t, std::uint64_t> counts, bytes;
        kestrel::CaptureRecord record;
        while (reader.Next(record)) {
            ++counts[record.id];
            bytes[record.id] += 16 + record.payloadSize;
        }
        if (!reader.Complete()) {
            std::fprintf(stderr, "bench_call_cost: the capture does not read whole: %s\n", reader.stopReason().c_str());
            return 1;
        }
        for (const Function& f : kFunctions) {
            if (counts[f.apiId] != static_cast<std::uint64_t>(calls)) {
                std::fprintf(stderr, "bench_call_cost: %s: %llu records for %d calls\n", f.name,
                             static_cast<unsigned long long>(counts[f.apiId]), calls);
                return 1;
            }
            recordBytes[f.name] = static_cast<double>(bytes[f.apiId]) / calls;
            recordCount[f.name] = counts[f.apiId];
        }
        fileBytes = bench::FileMB(capture) * 1e6;
    }
    DeleteFileA(capture.c_str());

    std::printf("%d rounds of %d calls a function; every capture held exactly the calls made\n", rounds, calls);
    std::printf("this machine: a time-stamp read %.1f ns, an interlocked exchange %.1f ns\n", tscNs, interlockedNs);
    std::printf("%-16s %14s %10s %16s %10s %14s\n", "function", "added ns (med)", "spread", "in median batch",
                "spread", "stream B/call");
    double total = 0;
    for (const Function& f : kFunctions) {
        const std::vector<double>& a = added[f.name];
        const std::vector<double>& b = addedInBatch[f.name];
        std::printf("%-16s %14.1f %10.1f %16.1f %10.1f %14.1f\n", f.name, Median(a), Spread(a), Median(b), Spread(b),
                    recordBytes[f.name]);
        total += static_cast<double>(recordCount[f.name]);
    }
    std::printf("file bytes per call (compressed, the last round): %.2f\n", fileBytes / total);
    std::printf("goal: at most 60 ns added a call, spread under 20 ns (the whole loops' figures; the i686 build runs emulated here)\n");
    return 0;
}
