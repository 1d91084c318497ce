// Plays the controlling process for one test: serves the session channel with a chosen policy,
// runs a program with the recorder as its opengl32.dll, drains the ring into a file and reads the
// records back.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

#include "controller/reading/CaptureFileReader.h"
#include "controller/capture/SessionServer.h"
#include "tests/support/ChildProcess.h"

class TestController {
public:
    TestController();
    ~TestController();

    // Defaults: a 4 MiB ring, hookMode 0, instance id 7, a base name of its own.
    kestrel::SessionPolicy policy;

    struct Run {
        bool started = false;
        bool timedOut = false;
        DWORD exitCode = 0;
        std::string error;
    };
    // Runs the program to its end under capture. With dropIn the recorder sits beside it as
    // opengl32.dll; otherwise the program is expected to load the recorder itself.
    Run RunApp(const std::string& application, const std::vector<std::string>& arguments, bool dropIn = true,
               DWORD timeoutMs = kHangMs);

    kestrel::SessionServer& server() { return server_; }
    const std::string& capturePath() const { return capturePath_; }
    // The records drained during the run; readComplete tells whether the file ended cleanly.
    std::vector<kestrel::CaptureRecord> Records(bool* readComplete = nullptr) const;

    // The recorder DLL of this build and a test program of this build, as Windows paths.
    static std::string RecorderPath();
    static std::string FixturePath(const char* name);

private:
    kestrel::SessionServer server_;
    std::string capturePath_;
};
