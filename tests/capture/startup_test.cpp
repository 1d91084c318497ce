// Capture start-up, frames and finish of a real program under a controlling process of the test's own.
#include <gtest/gtest.h>

#include <windows.h>
#include <algorithm>
#include <functional>
#include <string>

#include "channel/StatsHeader.h"
#include "gen/ApiTable.h"
#include "stream/StreamRecordId.h"
#include "controller/capture/RecorderPlacement.h"
#include "tests/support/TestController.h"

using kestrel::CaptureRecord;

namespace {
const std::string kApp = TestController::FixturePath("capture_app.exe");

std::size_t CountId(const std::vector<CaptureRecord>& records, std::uint32_t id) {
    return static_cast<std::size_t>(std::count_if(records.begin(), records.end(), [id](const CaptureRecord& r) { return r.id == id; }));
}

std::vector<std::uint32_t> Ids(const std::vector<CaptureRecord>& records) {
    std::vector<std::uint32_t> ids;
    for (const CaptureRecord& r : records) ids.push_back(r.id);
    return ids;
}
}  // namespace

TEST(StartUp, RegistersTakesTheReplyAndRecordsEveryCall) {
    TestController controller;
    const TestController::Run run = controller.RunApp(kApp, {"--calls", "3", "--no-window"});
    ASSERT_TRUE(run.started) << run.error;
    EXPECT_EQ(run.exitCode, 0u);

    const auto registrations = controller.server().registrations();
    ASSERT_EQ(registrations.size(), 1u);
    const kestrel::Register& reg = registrations[0];
    EXPECT_EQ(reg.code, 1);
    EXPECT_EQ(reg.apiType, 2u);
    EXPECT_EQ(reg.pointerBits, sizeof(void*) * 8);  // the recorder runs at this test's width
    EXPECT_STREQ(reg.fileName, "capture_app.exe");
    EXPECT_NE(reg.capturerAddress, 0u);
    // The registration carries the provisional id; everything after it the id of the reply.
    const auto tags = controller.server().messageTags();
    ASSERT_EQ(tags.size(), 3u);  // Register, InstanceReady, InstanceFinished
    EXPECT_EQ(tags[1], 7u);
    EXPECT_EQ(tags[2], 7u);
    EXPECT_EQ(controller.server().readyCount(), 1);
    EXPECT_EQ(controller.server().finishedCount(), 1);

    bool complete = false;
    const auto records = controller.Records(&complete);
    EXPECT_TRUE(complete);
    const std::vector<std::uint32_t> expected = {kestrel::kFormatVersionRecord, kestrel::kRecorderVersionRecord,
                                                 kestrel::kApiTypeRecord,       kestrel::kSystemDescriptionRecord,
                                                 kestrel::kThreadSwitchRecord,  kestrel::api::glGetError,
                                                 kestrel::api::glGetError,      kestrel::api::glGetError};
    EXPECT_EQ(Ids(records), expected);

    // Published at finish: frame 1, and the call counter that start-up left at 6 plus the thread
    // switch and the three calls.
    const kestrel::StatsHeader* stats = controller.server().stats().header();
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->frame, 1u);
    EXPECT_EQ(stats->calls, 10u);
    EXPECT_EQ(stats->status, 1);
}

// Every way start-up can fail leaves the program running uncaptured.
TEST(StartUp, FailuresLeaveTheProgramRunningUncaptured) {
    struct Case {
        const char* what;
        std::function<void(kestrel::SessionPolicy&)> change;
        int readyMessages;
        std::size_t records;  // opening records only, or nothing at all
    };
    const Case cases[] = {
        {"registration refused", [](kestrel::SessionPolicy& p) { p.registerReplyCode = 3; }, 0, 0},
        {"ring missing", [](kestrel::SessionPolicy& p) { p.createRing = false; }, 0, 0},
        {"statistics missing", [](kestrel::SessionPolicy& p) { p.createStats = false; }, 0, 4},
        {"readiness refused", [](kestrel::SessionPolicy& p) { p.readyStatus = 1; }, 1, 4},
        {"base name without room for its end", [](kestrel::SessionPolicy& p) { p.baseName = "Local\\" + std::string(300, 'n'); }, 0, 0},
        {"ring larger than a 32-bit process can map",
         [](kestrel::SessionPolicy& p) {
             p.settings.ringBufferMiB = 4096;
             p.createRing = false;  // nor can the test create one
         },
         0, 0},
    };
    for (const Case& c : cases) {
        TestController controller;
        c.change(controller.policy);
        const TestController::Run run = controller.RunApp(kApp, {"--calls", "3", "--no-window"});
        ASSERT_TRUE(run.started) << c.what << ": " << run.error;
        EXPECT_FALSE(run.timedOut) << c.what;
        EXPECT_EQ(run.exitCode, 0u) << c.what;
        EXPECT_EQ(controller.server().readyCount(), c.readyMessages) << c.what;
        EXPECT_EQ(controller.server().finishedCount(), 0) << c.what << ": an uncaptured process reports no finish";
        EXPECT_EQ(controller.Records().size(), c.records) << c.what;
    }
}

TEST(StartUp, NoControllingProcessRunsUncaptured) {
    // No session channel at all: the recorder binds "OpenGL32-orig.dll" and only forwards.
    kestrel::RecorderPlacement placement;
    std::string error;
    ASSERT_TRUE(placement.Place(kApp, TestController::RecorderPath(), error)) << error;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + kApp + "\" --calls 3 --frames 2";
    ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, kHangMs), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 0u);
}

TEST(Frames, ThreeSwapsAndNoCallAfterTheLastPublishFrameThree) {
    TestController controller;
    const TestController::Run run = controller.RunApp(kApp, {"--frames", "3", "--end-after-swap"});
    ASSERT_TRUE(run.started) << run.error;
    EXPECT_EQ(run.exitCode, 0u);
    const auto records = controller.Records();
    EXPECT_EQ(CountId(records, kestrel::api::wglSwapBuffers), 3u);
    ASSERT_NE(controller.server().stats().header(), nullptr);
    EXPECT_EQ(controller.server().stats().header()->frame, 3u);
    EXPECT_EQ(controller.server().finishedCount(), 1);
}

// A swap made while another call is under way on its thread is forwarded only: no record, no frame.
TEST(Frames, ANestedSwapNeitherCountsAFrameNorIsRecorded) {
    TestController controller;
    const TestController::Run run = controller.RunApp(kApp, {"--frames", "2", "--nested-swap", "--end-after-swap"});
    ASSERT_TRUE(run.started) << run.error;
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(CountId(controller.Records(), kestrel::api::wglSwapBuffers), 2u);
    ASSERT_NE(controller.server().stats().header(), nullptr);
    EXPECT_EQ(controller.server().stats().header()->frame, 2u);
}

TEST(Frames, ThreadsTakeTurnsWithASwitchRecordAheadOfEachRun) {
    TestController controller;
    const TestController::Run run = controller.RunApp(kApp, {"--calls", "2", "--threads", "2", "--no-window"});
    ASSERT_TRUE(run.started) << run.error;
    const auto records = controller.Records();
    std::vector<std::uint32_t> threads;
    for (const CaptureRecord& r : records) {
        if (r.id != kestrel::kThreadSwitchRecord) continue;
        ASSERT_EQ(r.payload.size(), 4 + sizeof(void*));  // the thread, then the context handle
        threads.push_back(r.payload[0] | r.payload[1] << 8 | r.payload[2] << 16 | static_cast<std::uint32_t>(r.payload[3]) << 24);
    }
    ASSERT_EQ(threads.size(), 3u) << "main thread, then each of the two threads";
    EXPECT_NE(threads[0], threads[1]);
    EXPECT_NE(threads[1], threads[2]);
    EXPECT_EQ(CountId(records, kestrel::api::glGetError), 6u);
}

// The WMI provider host is never captured, whatever its drive letter and the case of its path; its
// calls still reach the real library.
TEST(StartUp, TheWmiProviderHostIsExcludedInAnyLetterCase) {
    // The test bed maps Y: to a folder of the build tree.
    struct Case { const char* app; bool excluded; };
    const Case cases[] = {
        {"Y:\\windows\\system32\\wbem\\wmiprvse.exe", true},
        {"Y:\\WINDOWS\\SysWOW64\\WBEM\\WmiPrvSE.EXE", true},
        {"Y:\\windows\\system32\\wbem\\wmiprvse2.exe", false},  // a neighbour is captured as usual
    };
    for (const Case& c : cases) {
        const std::string app = c.app;
        for (std::size_t at = 3; (at = app.find('\\', at)) != std::string::npos; ++at)
            CreateDirectoryA(app.substr(0, at).c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(kApp.c_str(), app.c_str(), FALSE)) << app;
        TestController controller;
        const TestController::Run run = controller.RunApp(app, {"--calls", "3", "--frames", "1"});
        ASSERT_TRUE(run.started) << app << ": " << run.error;
        EXPECT_EQ(run.exitCode, 0u) << app;
        EXPECT_EQ(controller.server().registrations().empty(), c.excluded) << app;
        DeleteFileA(app.c_str());
    }
}
