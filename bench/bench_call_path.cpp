// The instructions of one recorded small call, counted by single-stepping it: through the recorder
// under a capture whose ring this process drains, through the recorder forwarding only, and straight
// to the system library. Counts do not move with the machine's load or with emulation, so they show
// what a change to the recording path saves where timings cannot, together with the interlocked
// operations and time-stamp reads on the path, and where the instructions go, function by function.
//   bench_call_path                       runs the program twice and prints the table
//   bench_call_path --app RECORDER RESULTS [--system]
//                                         the program: counts each call, writes the counts
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/support/CaptureRun.h"
#include "bench/support/FunctionNames.h"
#include "bench/support/InstructionCount.h"

namespace {

constexpr std::uint32_t kRingMiB = 64;
constexpr int kWarmUpCalls = 5000;  // thread entries, the clock's calibration, the ring's pages
constexpr int kCounts = 9;
constexpr std::size_t kTopFunctions = 10;

using Vertex3fFn = void(WINAPI*)(float, float, float);
using Color4fFn = void(WINAPI*)(float, float, float, float);
using Uniform4fvFn = void(WINAPI*)(int, int, const float*);
using TexParameteriFn = void(WINAPI*)(unsigned, unsigned, int);
using GetProcAddressFn = PROC(WINAPI*)(const char*);

struct Functions {
    Vertex3fFn vertex3f = nullptr;
    Color4fFn color4f = nullptr;
    Uniform4fvFn uniform4fv = nullptr;
    TexParameteriFn texParameteri = nullptr;
};

Functions Bind(HMODULE module) {
    Functions f;
    f.vertex3f = bench::Find<Vertex3fFn>(module, "glVertex3f");
    f.color4f = bench::Find<Color4fFn>(module, "glColor4f");
    f.texParameteri = bench::Find<TexParameteriFn>(module, "glTexParameteri");
    auto lookup = bench::Find<GetProcAddressFn>(module, "wglGetProcAddress");
    if (lookup) f.uniform4fv = reinterpret_cast<Uniform4fvFn>(reinterpret_cast<void*>(lookup("glUniform4fv")));
    return f;
}

const float kVector[4] = {0.25f, 0.5f, 0.75f, 1.0f};

struct Call {
    const char* name;
    void (*once)(void*);
};

const Call kCalls[] = {
    {"glVertex3f", [](void* f) { static_cast<Functions*>(f)->vertex3f(1.0f, 2.0f, 3.0f); }},
    {"glColor4f", [](void* f) { static_cast<Functions*>(f)->color4f(0.5f, 0.25f, 0.125f, 1.0f); }},
    {"glUniform4fv", [](void* f) { static_cast<Functions*>(f)->uniform4fv(-1, 1, kVector); }},
    {"glTexParameteri", [](void* f) { static_cast<Functions*>(f)->texParameteri(0x0DE1, 0x2801, 0x2601); }},
};

// The fewest of several counts: a call that happened to resynchronise the clock, or to find the
// ring full, takes a longer path that is not the common one. With `addresses`, the fewest's path.
bool Fewest(void (*once)(void*), void* argument, const void* module, bench::PathCount& best,
            std::vector<std::uintptr_t>* addresses = nullptr) {
    std::vector<std::uintptr_t> path;
    for (int i = 0; i < kCounts; ++i) {
        bench::PathCount count;
        if (!bench::CountInstructions(once, argument, module, count, addresses ? &path : nullptr)) return false;
        if (i == 0 || count.instructions < best.instructions) {
            best = count;
            if (addresses) addresses->swap(path);
        }
    }
    return true;
}

// Marks the instructions spent inside calls of the function whose name ends with `function`, its
// callees included: from its first instruction up to the first one back in the function that called it.
void MarkSubtree(const std::vector<std::uintptr_t>& path, bench::FunctionNames& names, const std::string& function,
                 std::vector<bool>& inside) {
    auto named = [&](std::size_t i) {
        const std::string name = names.Name(path[i]);
        return name.size() >= function.size() &&
               name.compare(name.size() - function.size(), function.size(), function) == 0;
    };
    inside.assign(path.size(), false);
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (!named(i) || named(i - 1)) continue;
        const std::string caller = names.Name(path[i - 1]);
        for (; i < path.size() && names.Name(path[i]) != caller; ++i) inside[i] = true;
    }
}

// The clock's share of a path: its resynchronisation with the performance counter (once a
// millisecond, so on every single-stepped call, which lasts longer), and the counter reads outside it
// (every record's, where the processor reports no invariant TSC).
struct ClockShare {
    std::uint32_t resync = 0, counter = 0;
};
ClockShare CountClock(const std::vector<std::uintptr_t>& path, bench::FunctionNames& names) {
    std::vector<bool> resync, counter;
    MarkSubtree(path, names, "PerformanceClock::Resync", resync);
    MarkSubtree(path, names, "PerformanceClock::Counter", counter);
    ClockShare share;
    for (std::size_t i = 0; i < path.size(); ++i) {
        share.resync += resync[i];
        share.counter += counter[i] && !resync[i];
    }
    return share;
}

// Instructions by function: "KEY<tab>COUNT<tab>FUNCTION" lines, the most first.
void WriteFunctions(std::ostream& out, const std::string& key, const std::vector<std::uintptr_t>& path,
                    bench::FunctionNames& names) {
    std::map<std::uintptr_t, std::string> known;
    std::map<std::string, std::uint32_t> counts;
    for (std::uintptr_t at : path) {
        auto it = known.find(at);
        if (it == known.end()) it = known.emplace(at, names.Name(at)).first;
        ++counts[it->second];
    }
    std::vector<std::pair<std::uint32_t, std::string>> sorted;
    for (const auto& [name, count] : counts) sorted.emplace_back(count, name);
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [count, name] : sorted) out << key << '\t' << count << '\t' << name << '\n';
}

int RunApp(const char* recorderPath, const char* resultsPath, bool system) {
    HMODULE recorder = LoadLibraryA(recorderPath);
    if (!recorder) return 3;
    if (!bench::MakeRecorderContext(recorder, "KestrelBenchCallPath")) {
        std::fprintf(stderr, "bench_call_path: no OpenGL context\n");
        return 4;
    }
    std::vector<std::pair<const char*, HMODULE>> paths = {{"recorder", recorder}};
    // Under capture the recorder bound the system directory's OpenGL32.dll, the module of that name here.
    if (system) paths.push_back({"system", GetModuleHandleA("opengl32.dll")});

    std::ofstream out(resultsPath);
    std::ofstream functions(std::string(resultsPath) + ".lines");
    bench::FunctionNames names;
    std::vector<std::uintptr_t> path;
    bench::PathCount empty;
    if (!Fewest([](void*) {}, nullptr, recorder, empty)) {
        std::fprintf(stderr, "bench_call_path: single steps do not reach this program\n");
        return 5;
    }
    for (const auto& [label, module] : paths) {
        Functions f = Bind(module);
        if (!f.vertex3f || !f.color4f || !f.uniform4fv || !f.texParameteri) return 6;
        for (const Call& call : kCalls) {
            for (int i = 0; i < kWarmUpCalls; ++i) call.once(&f);
            bench::PathCount count;
            if (!Fewest(call.once, &f, recorder, count, &path)) return 5;
            WriteFunctions(functions, std::string(label) + "." + call.name, path, names);
            const ClockShare clock = CountClock(path, names);
            const std::string key = std::string(label) + "." + call.name + ".";
            out << key << "instructions " << count.instructions - empty.instructions << '\n'
                << key << "recorder " << count.inModule << '\n'
                << key << "locked " << count.locked << '\n'
                << key << "timestamps " << count.timeStamps << '\n'
                << key << "resync " << clock.resync << '\n'
                << key << "counter " << clock.counter << '\n';
        }
    }
    return out && functions ? 0 : 7;
}

// Per function: instructions of the call recorded and forwarded, from the programs' "lines".
struct FunctionCounts {
    std::map<std::string, std::vector<std::pair<std::string, double>>> recorded;  // call -> most first
    std::map<std::string, std::map<std::string, double>> forwarded;               // call -> function -> count
};

FunctionCounts ReadFunctions(const bench::PairedResults& runs) {
    FunctionCounts counts;
    auto each = [](const std::vector<std::string>& lines, auto&& take) {
        const std::string prefix = "recorder.";
        for (const std::string& line : lines) {
            const auto tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
            if (tab1 == std::string::npos || tab2 == std::string::npos || line.compare(0, prefix.size(), prefix) != 0)
                continue;
            take(line.substr(prefix.size(), tab1 - prefix.size()), std::atof(line.c_str() + tab1 + 1),
                 line.substr(tab2 + 1));
        }
    };
    each(runs.captureLines, [&](const std::string& call, double count, const std::string& function) {
        counts.recorded[call].emplace_back(function, count);
    });
    each(runs.forwardLines, [&](const std::string& call, double count, const std::string& function) {
        counts.forwarded[call][function] = count;
    });
    return counts;
}

void PrintFunctions(const FunctionCounts& counts) {
    for (const Call& call : kCalls) {
        const auto recorded = counts.recorded.find(call.name);
        if (recorded == counts.recorded.end()) continue;
        const auto forwarded = counts.forwarded.find(call.name);
        std::printf("\n%s, recorded: the %zu functions with the most instructions\n", call.name, kTopFunctions);
        std::printf("  %8s %10s %8s  %s\n", "recorded", "forwarded", "added", "function");
        for (std::size_t i = 0; i < recorded->second.size() && i < kTopFunctions; ++i) {
            const auto& [function, count] = recorded->second[i];
            double before = 0;
            if (forwarded != counts.forwarded.end()) {
                const auto it = forwarded->second.find(function);
                if (it != forwarded->second.end()) before = it->second;
            }
            std::printf("  %8.0f %10.0f %8.0f  %s\n", count, before, count - before, function.c_str());
        }
    }
}

int RunBench() {
    const bench::PairedResults runs =
        bench::RunForwardedAndCaptured("bench_call_path", KESTREL_RECORDER_DLL, kRingMiB, {"--system"});
    if (!runs.ok) return 1;
    const auto& forward = runs.forward;
    const auto& capture = runs.capture;
    auto at = [](const std::map<std::string, double>& m, const std::string& key) {
        const auto it = m.find(key);
        return it == m.end() ? -1.0 : it->second;
    };
    std::printf("instructions of one call (the fewest of %d), single-stepped\n", kCounts);
    std::printf("%-16s %7s %9s %8s %6s %6s %6s %7s %8s %11s %5s\n", "function", "system", "forwarded", "recorded",
                "added", "resync", "common", "counter", "recorder", "interlocked", "rdtsc");
    bool timeStampsFromTsc = true;
    for (const Call& call : kCalls) {
        const std::string key = std::string("recorder.") + call.name + ".";
        const double recorded = at(capture, key + "instructions"), forwarded = at(forward, key + "instructions");
        const double added = recorded - forwarded, resync = at(capture, key + "resync");
        if (at(capture, key + "timestamps") < 1) timeStampsFromTsc = false;
        std::printf("%-16s %7.0f %9.0f %8.0f %6.0f %6.0f %6.0f %7.0f %8.0f %5.0f / %-3.0f %5.0f\n", call.name,
                    at(capture, std::string("system.") + call.name + ".instructions"), forwarded, recorded, added,
                    resync, added - resync, at(capture, key + "counter"), at(capture, key + "recorder"),
                    at(capture, key + "locked"), at(forward, key + "locked"), at(capture, key + "timestamps"));
    }
    std::printf("added: recorded - forwarded; resync: of those, the clock's resynchronisation with the performance\n"
                "counter, once a millisecond (a single-stepped call lasts longer, so each one takes it); common: added\n"
                "without it, the path of every other call; counter: performance-counter reads outside the resync;\n"
                "recorder: of the recorded ones, those in the recorder's own code; interlocked: recorded / forwarded\n");
    PrintFunctions(ReadFunctions(runs));
    if (!timeStampsFromTsc)
        std::printf("this processor does not report an invariant TSC (as under emulation): each record's time stamp\n"
                    "is a performance-counter read, whose system call the counts include as one instruction\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "--app") == 0) return RunApp(argv[2], argv[3], argc == 5);
    return RunBench();
}
