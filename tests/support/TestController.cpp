#include "tests/support/TestController.h"

#include <atomic>
#include <cstdio>

#include "controller/capture/AppLauncher.h"
#include "controller/capture/RecorderPlacement.h"
#include "controller/capture/RingDrainer.h"

namespace {
std::atomic<int> g_runs{0};
}

TestController::TestController() {
    policy.settings.ringBufferMiB = 4;
    policy.settings.hookMode = 0;
    policy.instanceId = 7;
    char name[96];
    const int run = g_runs++;
    std::snprintf(name, sizeof name, "Local\\KestrelTest-%lu-%d", GetCurrentProcessId(), run);
    policy.baseName = name;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    char path[MAX_PATH + 64];
    std::snprintf(path, sizeof path, "%skestrel-test-%lu-%d.kcap", temp, GetCurrentProcessId(), run);
    capturePath_ = path;
}

TestController::~TestController() { DeleteFileA(capturePath_.c_str()); }

TestController::Run TestController::RunApp(const std::string& application, const std::vector<std::string>& arguments,
                                           bool dropIn, DWORD timeoutMs) {
    Run run;
    if (!server_.Start(policy, run.error)) return run;
    kestrel::RecorderPlacement placement;
    if (dropIn && !placement.Place(application, RecorderPath(), run.error)) return run;

    std::FILE* out = std::fopen(capturePath_.c_str(), "wb");
    if (!out) {
        run.error = "cannot write " + capturePath_;
        return run;
    }
    kestrel::RingDrainer drainer;
    std::thread waitForRing([&] {
        // The ring exists once the recorder has registered; a refused registration leaves none.
        if (WaitForSingleObject(server_.registeredEvent(), timeoutMs) == WAIT_OBJECT_0 && server_.ring())
            drainer.Start(*server_.ring(), [out](const std::uint8_t* data, std::uint32_t size) {
                std::fwrite(data, 1, size, out);
            });
    });
    kestrel::AppLauncher launcher;
    run.started = launcher.Launch(application, arguments, run.error);
    if (run.started) {
        // Until the program ends, a registration may still come; wake the waiter either way.
        run.timedOut = !launcher.Finished(timeoutMs);
        if (run.timedOut) TerminateProcess(launcher.process(), 255);
        launcher.Finished(10000);
        run.exitCode = launcher.ExitCode();
    }
    SetEvent(server_.registeredEvent());
    waitForRing.join();
    drainer.Stop();
    std::fclose(out);
    server_.Stop();
    return run;
}

std::vector<kestrel::CaptureRecord> TestController::Records(bool* readComplete) const {
    std::vector<kestrel::CaptureRecord> records;
    kestrel::CaptureFileReader reader;
    std::string error;
    if (!reader.Open(capturePath_, error)) return records;
    kestrel::CaptureRecord record;
    while (reader.Next(record)) records.push_back(record);
    if (readComplete) *readComplete = reader.Complete();
    return records;
}

std::string TestController::RecorderPath() { return KESTREL_RECORDER_DLL; }

std::string TestController::FixturePath(const char* name) { return std::string(KESTREL_FIXTURE_DIR) + "/" + name; }
