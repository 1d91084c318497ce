// Binding to the real library and the functions that bypass the gate, each in a child process.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>
#include <thread>

#include "tests/support/ChildProcess.h"

namespace {
// These programs run without a controlling process; a session channel left by another program would
// take their registration and never answer it.
class Binding : public ::testing::Test {
protected:
    void SetUp() override {
        HANDLE session = OpenFileMappingA(FILE_MAP_READ, FALSE, "Local\\TRK_CaptureSessionMemory");
        if (session) CloseHandle(session);
        ASSERT_EQ(session, nullptr) << "a session channel exists: another capture is running";
    }
};

// Each program is done in a few seconds; one that hangs fails its test well inside the suite's limit.
constexpr DWORD kChildTimeoutMs = 30000;

std::string ExplicitApp(const char* options) {
    return std::string("\"") + KESTREL_EXPLICIT_APP + "\" \"" + KESTREL_RECORDER_DLL + "\" " + options;
}
}  // namespace

// Without a controlling process start-up binds "OpenGL32-orig.dll" of the system directory (the
// test bed places one there) and the program renders through it.
TEST_F(Binding, NoControllerBindsTheOrigLibraryAndRenders) {
    ChildResult run = RunChild(ExplicitApp(""), kChildTimeoutMs);
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut) << run.output;
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("rendered through the recorder"), std::string::npos) << run.output;
}

TEST_F(Binding, PassThroughFunctionsBindFirstAndAnswerZeroWhenTheRealLibraryLacksThem) {
    ChildResult run = RunChild(ExplicitApp("--pass-through --report-binding"), kChildTimeoutMs);
    EXPECT_FALSE(run.timedOut) << run.output;
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("pass-through survived"), std::string::npos) << run.output;
}

TEST_F(Binding, DefaultProcAddressEndsTheProcessWithCodeOne) {
    ChildResult run = RunChild(ExplicitApp("--default-proc"), kChildTimeoutMs);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 1u) << run.output;
}

// A real library that cannot be loaded: a message box captioned "LoadLibrary error", then exit 1.
// The test closes the box itself so that nothing waits for a person.
TEST_F(Binding, MissingRealLibraryShowsTheMessageBoxAndExitsWithOne) {
    // Without a controlling process the recorder wants "OpenGL32-orig.dll"; take it away for this run.
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string orig = std::string(system) + "\\OpenGL32-orig.dll", aside = orig + ".away";
    ASSERT_TRUE(MoveFileExA(orig.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING));
    struct PutBack {
        const std::string &from, &to;
        ~PutBack() { MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING); }
    } putBack{aside, orig};
    HANDLE child = StartChild(ExplicitApp(""));
    ASSERT_NE(child, nullptr);
    bool boxSeen = false;
    for (int i = 0; i < 300 && WaitForSingleObject(child, 100) == WAIT_TIMEOUT; ++i) {
        if (HWND box = FindWindowA(nullptr, "LoadLibrary error")) {
            boxSeen = true;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    if (WaitForSingleObject(child, 10000) == WAIT_TIMEOUT) TerminateProcess(child, 255);
    DWORD code = 0;
    GetExitCodeProcess(child, &code);
    CloseHandle(child);
    EXPECT_TRUE(boxSeen);
    EXPECT_EQ(code, 1u);
}
