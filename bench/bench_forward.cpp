// Cost of a call forwarded by the recorder while no capture runs, against calling the real library
// directly: the same functions, the same argument values, in ns per call.
//   bench_forward [RECORDER.dll]   (default: the recorder of this build)
#include <windows.h>
#include <cstdio>

namespace {
using GetErrorFn = unsigned(WINAPI*)();
using Color4fFn = void(WINAPI*)(float, float, float, float);
using IsEnabledFn = unsigned char(WINAPI*)(unsigned);

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Library {
    GetErrorFn getError;
    Color4fFn color4f;
    IsEnabledFn isEnabled;
};

// Best of several rounds, so that a busy neighbour on the machine shows less.
template <class Body>
double NsPerCall(Body body, int calls) {
    double best = 1e30;
    for (int round = 0; round < 7; ++round) {
        const double start = Now();
        body(calls);
        const double ns = (Now() - start) * 1e9 / calls;
        if (ns < best) best = ns;
    }
    return best;
}

template <class T>
T Get(HMODULE module, const char* name) { return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name))); }
}  // namespace

int main(int argc, char** argv) {
    const char* recorderPath = argc > 1 ? argv[1] : KESTREL_RECORDER_DLL;
    HMODULE recorder = LoadLibraryA(recorderPath);
    HMODULE real = LoadLibraryA("opengl32.dll");
    if (!recorder || !real) {
        std::fprintf(stderr, "bench_forward: cannot load %s or opengl32.dll\n", recorderPath);
        return 1;
    }
    const Library viaRecorder{Get<GetErrorFn>(recorder, "glGetError"), Get<Color4fFn>(recorder, "glColor4f"),
                              Get<IsEnabledFn>(recorder, "glIsEnabled")};
    const Library direct{Get<GetErrorFn>(real, "glGetError"), Get<Color4fFn>(real, "glColor4f"),
                         Get<IsEnabledFn>(real, "glIsEnabled")};
    viaRecorder.getError();  // the first call runs start-up; it finds no controlling process

    constexpr int kCalls = 2000000;
    struct Row { const char* name; double (*measure)(const Library&); };
    const Row rows[] = {
        {"glGetError", [](const Library& l) { return NsPerCall([&](int n) { for (int i = 0; i < n; ++i) l.getError(); }, kCalls); }},
        {"glColor4f", [](const Library& l) { return NsPerCall([&](int n) { for (int i = 0; i < n; ++i) l.color4f(1, 0.5f, 0.25f, 1); }, kCalls); }},
        {"glIsEnabled", [](const Library& l) { return NsPerCall([&](int n) { for (int i = 0; i < n; ++i) l.isEnabled(0x0B71); }, kCalls); }},
    };
    std::printf("%-12s %12s %12s %12s\n", "function", "direct ns", "recorder ns", "added ns");
    for (const Row& row : rows) {
        const double d = row.measure(direct), r = row.measure(viaRecorder);
        std::printf("%-12s %12.2f %12.2f %12.2f\n", row.name, d, r, r - d);
    }
    std::printf("goal: under 5 ns added per forwarded call\n");
    return 0;
}
