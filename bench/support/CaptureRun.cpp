#include "bench/support/CaptureRun.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

#include "controller/capture/AppLauncher.h"
#include "controller/capture/RingDrainer.h"
#include "controller/capture/SessionServer.h"
#include "tests/support/WindowPixelFormat.h"

namespace bench {

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

bool MakeRecorderContext(HMODULE recorder, const char* className) {
    WNDCLASSA wc{};
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    HWND window = CreateWindowA(wc.lpszClassName, "bench", WS_OVERLAPPEDWINDOW, 0, 0, 96, 96, nullptr, nullptr,
                                wc.hInstance, nullptr);
    HDC dc = window ? GetDC(window) : nullptr;
    if (!dc) return false;
    const PIXELFORMATDESCRIPTOR pfd = WindowPixelFormat();
    if (!SetPixelFormat(dc, ChoosePixelFormat(dc, &pfd), &pfd)) return false;
    auto create = reinterpret_cast<HGLRC(WINAPI*)(HDC)>(
        reinterpret_cast<void*>(GetProcAddress(recorder, "wglCreateContext")));
    auto makeCurrent = reinterpret_cast<BOOL(WINAPI*)(HDC, HGLRC)>(
        reinterpret_cast<void*>(GetProcAddress(recorder, "wglMakeCurrent")));
    if (!create || !makeCurrent) return false;
    HGLRC context = create(dc);
    return context && makeCurrent(dc, context);
}

std::map<std::string, double> ReadResults(const std::string& path) {
    std::map<std::string, double> results;
    std::ifstream in(path);
    std::string key;
    double value;
    while (in >> key >> value) results[key] = value;
    return results;
}

namespace {

std::string SelfPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

bool Launch(const std::vector<std::string>& arguments) {
    kestrel::AppLauncher launcher;
    std::string error;
    if (!launcher.Launch(SelfPath(), arguments, error)) {
        std::fprintf(stderr, "bench: %s\n", error.c_str());
        return false;
    }
    if (!launcher.Finished(600000)) {
        TerminateProcess(launcher.process(), 255);
        return false;
    }
    return launcher.ExitCode() == 0;
}

}  // namespace

CaptureRun RunSelf(const std::vector<std::string>& arguments, std::uint32_t ringMiB, const std::string& name) {
    CaptureRun run;
    if (ringMiB == 0) {
        run.ok = Launch(arguments);
        return run;
    }
    kestrel::SessionServer server;
    kestrel::SessionPolicy policy;
    policy.settings.ringBufferMiB = ringMiB;
    policy.settings.hookMode = 0;
    policy.baseName = "Local\\" + name + "-" + std::to_string(GetCurrentProcessId());
    std::string error;
    if (!server.Start(policy, error)) {
        std::fprintf(stderr, "bench: %s\n", error.c_str());
        return run;
    }
    // The ring is drained into a buffer as a capture file's writer would take it.
    kestrel::RingDrainer drainer;
    std::vector<std::uint8_t> file(1u << 20);
    std::atomic<bool> stopWaiting{false};
    std::thread waitForRing([&] {
        while (!stopWaiting && WaitForSingleObject(server.registeredEvent(), 50) != WAIT_OBJECT_0) {
        }
        if (server.ring())
            drainer.Start(*server.ring(), [&file](const std::uint8_t* data, std::uint32_t size) {
                std::memcpy(file.data(), data, size < file.size() ? size : file.size());
            });
    });
    run.ok = Launch(arguments);
    stopWaiting = true;
    waitForRing.join();
    drainer.Stop();
    server.Stop();
    run.drained = drainer.bytesDrained();
    return run;
}

namespace {
std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
}  // namespace

PairedResults RunForwardedAndCaptured(const char* bench, const char* recorder, std::uint32_t ringMiB,
                                      const std::vector<std::string>& captureExtra) {
    PairedResults results;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string forwardPath = std::string(temp) + bench + "_forward.txt";
    const std::string capturePath = std::string(temp) + bench + "_capture.txt";
    if (!RunSelf({"--app", recorder, forwardPath}, 0, "").ok) {
        std::fprintf(stderr, "%s: the program without capture failed\n", bench);
        return results;
    }
    std::vector<std::string> arguments = {"--app", recorder, capturePath};
    arguments.insert(arguments.end(), captureExtra.begin(), captureExtra.end());
    const CaptureRun captured = RunSelf(arguments, ringMiB, std::string("Kestrel-") + bench);
    results.drained = captured.drained;
    if (!captured.ok || captured.drained == 0) {
        std::fprintf(stderr, "%s: the program under capture failed (%llu bytes drained)\n", bench,
                     static_cast<unsigned long long>(captured.drained));
        return results;
    }
    results.forward = ReadResults(forwardPath);
    results.capture = ReadResults(capturePath);
    results.forwardLines = ReadLines(forwardPath + ".lines");
    results.captureLines = ReadLines(capturePath + ".lines");
    for (const std::string& path : {forwardPath, capturePath, forwardPath + ".lines", capturePath + ".lines"})
        DeleteFileA(path.c_str());
    results.ok = true;
    return results;
}

}  // namespace bench
