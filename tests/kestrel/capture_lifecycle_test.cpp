// How a capture ends and what it holds then: a bounded run, several processes each with a capture of
// its own, and faults on either side. Each run uses its own copy of the program, so that a run that
// leaves the recorder behind in the program's folder harms no other test.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "controller/reading/CaptureFileReader.h"
#include "gen/ApiTable.h"
#include "stream/RecordHeader.h"
#include "stream/StreamRecordId.h"
#include "tests/support/ChildProcess.h"

namespace {

namespace api = kestrel::api;

const std::string kKestrel = KESTREL_EXE;

std::string TempPath(const std::string& name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "kestrel-life-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

std::uint32_t U32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t value = 0;
    if (at + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

// A folder of its own holding a copy of capture_app.exe; removed with everything in it at the end.
class AppCopy {
public:
    explicit AppCopy(const std::string& name, const std::string& fixtures = KESTREL_FIXTURE_DIR) : folder_(TempPath(name)) {
        CreateDirectoryA(folder_.c_str(), nullptr);
        program_ = folder_ + "\\capture_app.exe";
        copied_ = CopyFileA((fixtures + "/capture_app.exe").c_str(), program_.c_str(), FALSE) != 0;
    }
    ~AppCopy() {
        WIN32_FIND_DATAA found{};
        const HANDLE search = FindFirstFileA((folder_ + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileA((folder_ + "\\" + found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder_.c_str());
    }
    bool copied() const { return copied_; }
    const std::string& program() const { return program_; }
    const std::string& folder() const { return folder_; }

private:
    std::string folder_, program_;
    bool copied_ = false;
};

struct CaptureRead {
    bool opened = false;
    bool complete = false;
    std::string reason;
    std::vector<kestrel::CaptureRecord> records;
};

CaptureRead ReadCapture(const std::string& path) {
    CaptureRead read;
    kestrel::CaptureFileReader reader;
    read.opened = reader.Open(path, read.reason);
    if (!read.opened) return read;
    kestrel::CaptureRecord record;
    while (reader.Next(record)) read.records.push_back(record);
    read.complete = reader.Complete();
    read.reason = reader.stopReason();
    return read;
}

bool IsSwap(std::uint32_t id) {
    return id == api::wglSwapBuffers || id == api::wglSwapLayerBuffers || id == api::wglSwapMultipleBuffers;
}

std::size_t Count(const CaptureRead& read, std::uint32_t id) {
    return static_cast<std::size_t>(std::count_if(read.records.begin(), read.records.end(),
                                                  [id](const kestrel::CaptureRecord& r) { return r.id == id; }));
}

std::size_t Swaps(const CaptureRead& read) {
    return static_cast<std::size_t>(std::count_if(read.records.begin(), read.records.end(),
                                                  [](const kestrel::CaptureRecord& r) { return IsSwap(r.id); }));
}

// The pattern calls of one process, checked byte by byte: (process id, i, ~i, 0x5A5A5A5A) with i
// counting from 0 without a gap. Returns how many there were, or stops the test at the first wrong one.
std::size_t CheckPattern(const CaptureRead& read, std::uint32_t* processId) {
    std::size_t seen = 0;
    for (const kestrel::CaptureRecord& r : read.records) {
        if (r.id != api::glTexCoord4i) continue;
        EXPECT_EQ(r.payload.size(), 16u);
        if (seen == 0) *processId = U32(r.payload, 0);
        const auto i = static_cast<std::uint32_t>(seen);
        const bool right = U32(r.payload, 0) == *processId && U32(r.payload, 4) == i && U32(r.payload, 8) == ~i &&
                           U32(r.payload, 12) == 0x5A5A5A5Au;
        EXPECT_TRUE(right) << "pattern call " << seen << " at offset " << r.offset;
        if (!right) return seen;
        ++seen;
    }
    return seen;
}

// The opening records come once, first; a thread switch comes before the first call.
void ExpectOneOpening(const CaptureRead& read) {
    ASSERT_FALSE(read.records.empty());
    EXPECT_EQ(read.records[0].id, kestrel::kFormatVersionRecord);
    EXPECT_EQ(Count(read, kestrel::kFormatVersionRecord), 1u);
    const auto firstCall = std::find_if(read.records.begin(), read.records.end(),
                                        [](const kestrel::CaptureRecord& r) { return r.id >= kestrel::kFirstApiId; });
    ASSERT_NE(firstCall, read.records.end());
    EXPECT_TRUE(std::any_of(read.records.begin(), firstCall,
                            [](const kestrel::CaptureRecord& r) { return r.id == kestrel::kThreadSwitchRecord; }));
}

// Waits until the capture file, read as it grows, holds a whole frame, however slowly this machine draws.
bool WaitForAFrame(const std::string& capture) {
    for (DWORD waited = 0; waited < kHangMs; waited += 250) {
        if (Swaps(ReadCapture(capture)) > 0) return true;
        Sleep(250);
    }
    return false;
}

// Finds the test window of the program started from this folder.
HWND FindAppWindow(DWORD* processId, DWORD waitMs) {
    for (DWORD waited = 0; waited <= waitMs; waited += 100) {
        if (HWND window = FindWindowA("KestrelTestWindow", nullptr)) {
            GetWindowThreadProcessId(window, processId);
            return window;
        }
        Sleep(100);
    }
    return nullptr;
}

// kestrel started on a program that opens a window, once the window is there; kestrel's and the
// program's handles are the caller's to close.
struct RunningCapture {
    HANDLE kestrel = nullptr;
    HANDLE process = nullptr;
    HWND window = nullptr;
};

RunningCapture StartWindowedCapture(const std::string& command) {
    RunningCapture run;
    run.kestrel = StartChild(command);
    if (!run.kestrel) return run;
    DWORD processId = 0;
    run.window = FindAppWindow(&processId, kHangMs);
    if (run.window) run.process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
    if (!run.process) run.window = nullptr;
    return run;
}

std::string CaptureCommand(const std::string& options, const std::string& capture, const std::string& program,
                           const std::string& arguments) {
    return "\"" + kKestrel + "\" capture --quiet " + options + " --out \"" + capture + "\" -- \"" + program + "\" " +
           arguments;
}

// Runs a capture that ends by itself and reads its file, which must be whole.
void CaptureAndRead(const std::string& command, const std::string& capture, CaptureRead* read,
                    std::string* output = nullptr) {
    const ChildResult run = RunChild(command);
    ASSERT_TRUE(run.started);
    ASSERT_FALSE(run.timedOut) << run.output;
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    if (output) *output = run.output;
    *read = ReadCapture(capture);
    ASSERT_TRUE(read->opened) << read->reason;
    EXPECT_TRUE(read->complete) << read->reason;
}

TEST(CaptureLifecycle, StopAfterFramesEndsANeverEndingProgramWithExactlyThoseFrames) {
    AppCopy app("bounded");
    ASSERT_TRUE(app.copied());
    const std::string capture = TempPath("bounded.kcap");
    CaptureRead read;
    std::string output;
    ASSERT_NO_FATAL_FAILURE(CaptureAndRead(
        CaptureCommand("--stop-after-frames 30", capture, app.program(), "--forever --frame-pattern 5"), capture, &read,
        &output));
    EXPECT_NE(output.find("after frame 30"), std::string::npos) << output;
    EXPECT_EQ(GetFileAttributesA((app.folder() + "\\opengl32.dll").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the recorder's placement is undone";
    EXPECT_EQ(Swaps(read), 30u);
    ASSERT_FALSE(read.records.empty());
    EXPECT_TRUE(IsSwap(read.records.back().id)) << "the capture ends with the 30th frame's swap";
    std::uint32_t process = 0;
    EXPECT_EQ(CheckPattern(read, &process), 30u * 5u) << "every frame whole";
    DeleteFileA(capture.c_str());
}

// The width a capture names in its API type record (32 or 64).
std::uint32_t Width(const CaptureRead& read) {
    for (const kestrel::CaptureRecord& r : read.records)
        if (r.id == kestrel::kApiTypeRecord) return U32(r.payload, 4);
    return 0;
}

// Both programs fill a ring much smaller than what they write, at the same time: each capture must
// still be whole and hold exactly its own process's calls, in order, and name its process's width.
// The program starts a copy of itself, beside it or in a folder of its own, or (where the other width's
// build is there, in a prefix that runs both) a 32-bit program starts a 64-bit one from a folder of its own.
TEST(CaptureLifecycle, EveryProcessGetsAWholeCaptureOfItsOwn) {
    constexpr std::uint32_t kOwnWidth = sizeof(void*) * 8;
    struct Case {
        const char* what;
        std::string parentFixtures;  // empty: this build's
        std::uint32_t parentWidth;
        bool childOfItsOwn;          // a child from this build in another folder, named by --child
    };
    std::vector<Case> cases{{"a copy of itself", "", kOwnWidth, false},
                            {"a copy in another folder", "", kOwnWidth, true}};
#ifdef KESTREL_OTHER_WIDTH_FIXTURE_DIR
    if (GetFileAttributesA(KESTREL_OTHER_WIDTH_FIXTURE_DIR "/capture_app.exe") != INVALID_FILE_ATTRIBUTES)
        cases.push_back({"a 64-bit child of a 32-bit program", KESTREL_OTHER_WIDTH_FIXTURE_DIR, 32, true});
    else
        std::printf("the i686 build's fixtures are not there: no case of a 64-bit child of a 32-bit program\n");
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AppCopy app("two", c.parentFixtures.empty() ? std::string(KESTREL_FIXTURE_DIR) : c.parentFixtures);
        AppCopy child("two-child");
        ASSERT_TRUE(app.copied());
        ASSERT_TRUE(child.copied());
        const std::string capture = TempPath("two.kcap");
        constexpr std::size_t kCalls = 60000;  // about 2 MB each through a 1 MiB ring
        const std::string each = "--pattern 60000 --frames 2";
        const std::string spawn = c.childOfItsOwn ? " --spawn-program \"" + child.program() + "\"" : "";
        const std::string options = c.childOfItsOwn ? "--ring-mib 1 --child \"" + child.program() + "\"" : "--ring-mib 1";
        const ChildResult run =
            RunChild(CaptureCommand(options, capture, app.program(), each + spawn + " --spawn \"" + each + "\""));
        ASSERT_TRUE(run.started);
        ASSERT_FALSE(run.timedOut) << run.output;
        EXPECT_EQ(run.exitCode, 0u) << run.output;
        EXPECT_EQ(GetFileAttributesA((child.folder() + "\\opengl32.dll").c_str()), INVALID_FILE_ATTRIBUTES)
            << "the child's recorder is taken away again";

        // The child's capture is beside the first, named with its process id.
        std::vector<std::string> paths{capture};
        const std::string stem = capture.substr(0, capture.size() - 5);
        WIN32_FIND_DATAA found{};
        const HANDLE search = FindFirstFileA((stem + "-*.kcap").c_str(), &found);
        ASSERT_NE(search, INVALID_HANDLE_VALUE) << "no capture of the child process\n" << run.output;
        do {
            paths.push_back(stem.substr(0, stem.find_last_of('\\') + 1) + found.cFileName);
        } while (FindNextFileA(search, &found));
        FindClose(search);
        ASSERT_EQ(paths.size(), 2u) << run.output;

        std::map<std::uint32_t, std::string> processes;
        for (const std::string& path : paths) {
            SCOPED_TRACE(path);
            const CaptureRead read = ReadCapture(path);
            ASSERT_TRUE(read.opened) << read.reason;
            EXPECT_TRUE(read.complete) << read.reason;
            ExpectOneOpening(read);
            std::uint32_t process = 0;
            EXPECT_EQ(CheckPattern(read, &process), kCalls);
            EXPECT_EQ(Swaps(read), 2u);
            EXPECT_EQ(Width(read), path == capture ? c.parentWidth : kOwnWidth);
            processes[process] = path;
            if (path != capture) {
                std::string named = std::to_string(process);
                named.insert(0, 1, '-');
                named.append(".kcap");
                EXPECT_NE(path.find(named), std::string::npos);
            }
            DeleteFileA(path.c_str());
        }
        EXPECT_EQ(processes.size(), 2u) << "the two captures hold two different processes";
    }
}

// The application dies outright: the capture keeps every whole record up to that moment.
TEST(CaptureLifecycle, AnApplicationKilledOutrightLeavesAWholeCapture) {
    AppCopy app("killed");
    ASSERT_TRUE(app.copied());
    const std::string capture = TempPath("killed.kcap");
    const RunningCapture run = StartWindowedCapture(CaptureCommand("", capture, app.program(), "--forever --frame-pattern 50"));
    ASSERT_TRUE(run.window) << "no window";
    HANDLE kestrel = run.kestrel;
    const bool drew = WaitForAFrame(capture);
    TerminateProcess(run.process, 9);
    CloseHandle(run.process);
    const bool ended = WaitForSingleObject(kestrel, kHangMs) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(kestrel, 1);
    DWORD code = 0;
    GetExitCodeProcess(kestrel, &code);
    CloseHandle(kestrel);
    ASSERT_TRUE(ended) << "kestrel ends with its application";
    ASSERT_TRUE(drew) << "no frame in the capture before the application was killed";
    EXPECT_EQ(code, 9u) << "the application's own code";
    EXPECT_EQ(GetFileAttributesA((app.folder() + "\\opengl32.dll").c_str()), INVALID_FILE_ATTRIBUTES);

    const CaptureRead read = ReadCapture(capture);
    ASSERT_TRUE(read.opened) << read.reason;
    EXPECT_TRUE(read.complete) << read.reason;
    EXPECT_GE(Swaps(read), 1u);
    std::uint32_t pid = 0;
    EXPECT_GE(CheckPattern(read, &pid), 50u);
    DeleteFileA(capture.c_str());
}

// When a process began; 0 when that cannot be read.
ULONGLONG StartTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return static_cast<ULONGLONG>(created.dwHighDateTime) << 32 | created.dwLowDateTime;
}

// The first process that the given one started, waited for, opened to be waited for and ended; null
// when none came. A parent id is only the id the creator had: once it ended, Wine hands the id to a
// later process, so an older process (a service of the prefix) seems that one's child. Only a
// process that began after the parent is its child.
HANDLE WaitForChildOf(HANDLE parent, DWORD waitMs) {
    const DWORD parentId = GetProcessId(parent);
    const ULONGLONG parentStart = StartTime(parent);
    for (DWORD waited = 0; parentStart && waited <= waitMs; waited += 100) {
        const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof entry;
        HANDLE found = nullptr;
        for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
            if (entry.th32ParentProcessID != parentId || entry.th32ProcessID == GetCurrentProcessId()) continue;
            found = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                entry.th32ProcessID);
            if (found && StartTime(found) < parentStart) {
                CloseHandle(found);
                found = nullptr;
            }
        }
        CloseHandle(snapshot);
        if (found) return found;
        Sleep(100);
    }
    return nullptr;
}

// kestrel dies outright: its file reads to its last whole record, and the application and the process
// it started, both drawing, end with it: nothing of the tree kestrel launched runs on without it.
TEST(CaptureLifecycle, KestrelKilledOutrightLeavesAReadableFileAndTakesTheApplicationsTreeWithIt) {
    AppCopy app("orphan");
    ASSERT_TRUE(app.copied());
    const std::string capture = TempPath("orphan.kcap");
    HANDLE kestrel = StartChild(CaptureCommand("--ring-mib 1", capture, app.program(),
                                               "--forever --frame-pattern 2000 --spawn \"--forever --frame-pattern 10\""));
    ASSERT_TRUE(kestrel);
    const HANDLE application = WaitForChildOf(kestrel, kHangMs);
    const HANDLE child = application ? WaitForChildOf(application, kHangMs) : nullptr;
    const DWORD childId = child ? GetProcessId(child) : 0;
    std::vector<HANDLE> tree;
    for (HANDLE process : {application, child})
        if (process) tree.push_back(process);
    DWORD windowOwner = 0;
    const bool drawing = FindAppWindow(&windowOwner, kHangMs) != nullptr && WaitForAFrame(capture);
    TerminateProcess(kestrel, 9);
    WaitForSingleObject(kestrel, 10000);
    CloseHandle(kestrel);
    std::size_t survivors = 0;
    for (HANDLE process : tree) {
        if (WaitForSingleObject(process, 60000) != WAIT_OBJECT_0) {
            ++survivors;
            TerminateProcess(process, 1);
        }
        CloseHandle(process);
    }
    ASSERT_EQ(tree.size(), 2u) << "the application or its child never started";
    ASSERT_TRUE(drawing) << "no window, or no frame in the capture";
    EXPECT_EQ(survivors, 0u) << "a process of the application's tree outlived kestrel";

    const CaptureRead read = ReadCapture(capture);
    ASSERT_TRUE(read.opened) << read.reason;
    // Whatever was written ends on a whole record or with a cut record that the reader names.
    EXPECT_TRUE(read.complete || read.reason.find("truncated") != std::string::npos) << read.reason;
    EXPECT_GE(read.records.size(), 4u) << "the opening records at least";
    std::uint32_t pid = 0;
    CheckPattern(read, &pid);
    DeleteFileA(capture.c_str());
    DeleteFileA((capture.substr(0, capture.size() - 5) + "-" + std::to_string(childId) + ".kcap").c_str());
}

// 200 threads call at once, more than the thread-depth block holds: every thread's calls are recorded,
// each under its own thread switch, and none is lost.
TEST(CaptureLifecycle, TwoHundredThreadsAtOnceAreAllRecorded) {
    AppCopy app("threads");
    ASSERT_TRUE(app.copied());
    const std::string capture = TempPath("threads.kcap");
    constexpr std::uint32_t kThreads = 200, kCalls = 50;
    CaptureRead read;
    ASSERT_NO_FATAL_FAILURE(CaptureAndRead(
        CaptureCommand("--ring-mib 1", capture, app.program(), "--no-window --calls 50 --parallel 200"), capture, &read));
    std::map<std::uint32_t, std::uint32_t> callsByThread;
    std::uint32_t thread = 0;
    for (const kestrel::CaptureRecord& r : read.records) {
        if (r.id == kestrel::kThreadSwitchRecord) thread = U32(r.payload, 0);
        if (r.id == api::glGetError) ++callsByThread[thread];
    }
    // The main thread's calls come first; then each of the crowd's.
    EXPECT_EQ(callsByThread.size(), kThreads + 1);
    for (const auto& [id, calls] : callsByThread) EXPECT_EQ(calls, kCalls) << "thread " << id;
    DeleteFileA(capture.c_str());
}

// One upload three times the ring's size: it passes through the ring in pieces and arrives whole.
TEST(CaptureLifecycle, AnUploadLargerThanTheRingArrivesWhole) {
    AppCopy app("upload");
    ASSERT_TRUE(app.copied());
    const std::string capture = TempPath("upload.kcap");
    CaptureRead read;
    ASSERT_NO_FATAL_FAILURE(
        CaptureAndRead(CaptureCommand("--ring-mib 1", capture, app.program(), "--upload-mib 3 --frames 1"), capture, &read));
    const auto upload = std::find_if(read.records.begin(), read.records.end(),
                                     [](const kestrel::CaptureRecord& r) { return r.id == api::glBufferData; });
    ASSERT_NE(upload, read.records.end());
    constexpr std::size_t kBytes = 3u << 20;
    ASSERT_EQ(U32(upload->payload, 4), kBytes);
    ASSERT_GE(upload->payload.size(), kBytes);
    const std::size_t data = upload->payload.size() - kBytes;  // the fixed part ends where the data starts
    std::size_t wrong = 0;
    for (std::size_t k = 0; k < kBytes; ++k) wrong += upload->payload[data + k] != static_cast<std::uint8_t>(k * 7);
    EXPECT_EQ(wrong, 0u);
    DeleteFileA(capture.c_str());
}

}  // namespace
