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
constexpr DWORD kChildTimeoutMs = kHangMs;

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

// Moves a file of the system directory aside for one test and puts it back, however the test ends.
class SystemFileAside {
public:
    explicit SystemFileAside(const char* name) {
        char system[MAX_PATH] = {};
        GetSystemDirectoryA(system, MAX_PATH);
        path_ = std::string(system) + "\\" + name;
        aside_ = path_ + ".away";
        moved_ = MoveFileExA(path_.c_str(), aside_.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    }
    ~SystemFileAside() {
        if (moved_) MoveFileExA(aside_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    bool moved() const { return moved_; }
    const std::string& path() const { return path_; }

private:
    std::string path_, aside_;
    bool moved_ = false;
};

// Runs the program and answers the "LoadLibrary error" box if one comes up.
struct BoxedRun {
    bool boxSeen = false;
    DWORD code = 0;
};
BoxedRun RunAnsweringTheBox(const std::string& command) {
    BoxedRun run;
    HANDLE child = StartChild(command);
    if (!child) return run;
    for (DWORD waited = 0; waited < kHangMs && WaitForSingleObject(child, 100) == WAIT_TIMEOUT; waited += 100) {
        if (HWND box = FindWindowA(nullptr, "LoadLibrary error")) {
            run.boxSeen = true;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    if (WaitForSingleObject(child, 10000) == WAIT_TIMEOUT) TerminateProcess(child, 255);
    GetExitCodeProcess(child, &run.code);
    CloseHandle(child);
    return run;
}

// A recorder copied beside an application finds no "OpenGL32-orig.dll": it binds the system's
// "OpenGL32.dll" and the application renders, uncaptured.
TEST_F(Binding, WithoutTheOrigLibraryTheSystemLibraryIsBound) {
    SystemFileAside orig("OpenGL32-orig.dll");
    ASSERT_TRUE(orig.moved());
    const BoxedRun run = RunAnsweringTheBox(ExplicitApp(""));
    EXPECT_FALSE(run.boxSeen);
    EXPECT_EQ(run.code, 0u);
}

// When the system's "OpenGL32.dll" is the recorder itself there is nothing real to bind: a message
// box captioned "LoadLibrary error", then exit 1. The test closes the box so that nothing waits.
TEST_F(Binding, RecorderInstalledAsTheSystemLibraryWithoutOrigShowsTheBoxAndExitsWithOne) {
    SystemFileAside orig("OpenGL32-orig.dll");
    ASSERT_TRUE(orig.moved());
    SystemFileAside system("OpenGL32.dll");
    ASSERT_TRUE(system.moved());
    ASSERT_TRUE(CopyFileA(KESTREL_RECORDER_DLL, system.path().c_str(), FALSE));
    struct Remove {
        const std::string& path;
        ~Remove() { DeleteFileA(path.c_str()); }
    } remove{system.path()};
    // Wine takes its own library unless this program is told to load the file in the system directory.
    HKEY key = nullptr;
    const char* const kOverrides = "Software\\Wine\\AppDefaults\\explicit_load_app.exe\\DllOverrides";
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kOverrides, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegSetValueExA(key, "opengl32", 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
    RegCloseKey(key);
    const BoxedRun run =
        RunAnsweringTheBox(std::string("\"") + KESTREL_EXPLICIT_APP + "\" \"" + system.path() + "\"");
    RegDeleteKeyA(HKEY_CURRENT_USER, kOverrides);
    EXPECT_TRUE(run.boxSeen);
    EXPECT_EQ(run.code, 1u);
}
