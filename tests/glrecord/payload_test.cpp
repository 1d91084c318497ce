// Recorded calls checked byte for byte: a program calls the recorder's exports under capture, with
// the fake system library behind the recorder, and its capture must hold exactly the records of
// the payload table.
#include <gtest/gtest.h>

#include <windows.h>
#include <cstring>
#include <string>
#include <vector>

#include "gen/ApiTable.h"
#include "stream/StreamRecordId.h"
#include "tests/glrecord/PayloadCases.h"
#include "tests/glrecord/support/CallRecords.h"
#include "tests/glrecord/support/FakeSystemLibrary.h"
#include "tests/glrecord/support/Report.h"
#include "tests/support/TestController.h"

namespace {

struct FakeCapture {
    TestController::Run run;
    Report report;
    std::vector<CallRecord> calls;
    bool complete = false;
};

std::string TempFile(const char* name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "kestrel-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

// Runs a program of the recording tests with the fake as the real library: under capture, or with
// no controlling process at all (then the recorder only forwards, to the same fake).
FakeCapture RunWithFake(const std::string& program, const std::string& mode, bool captured = true) {
    constexpr DWORD kTimeoutMs = kHangMs;
    FakeCapture result;
    const std::string name = program.substr(program.find_last_of("/\\") + 1);
    FakeSystemLibrary fake(KESTREL_FAKE_GL, {name});
    if (!fake.error().empty()) {
        result.run.error = fake.error();
        return result;
    }
    const std::string reportPath = TempFile((name + ".report").c_str());
    const std::vector<std::string> arguments = {TestController::RecorderPath(), reportPath, mode};
    if (captured) {
        TestController controller;
        controller.policy.settings.hookMode = 1;  // the recorder binds "OpenGL32-orig.dll": the fake
        result.run = controller.RunApp(program, arguments, false, kTimeoutMs);
        result.calls = CallRecords(controller.Records(&result.complete));
    } else {
        std::string command = "\"" + program + "\"";
        for (const std::string& argument : arguments) command += " \"" + argument + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        result.run.started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                            &startup, &process) != 0;
        if (result.run.started) {
            result.run.timedOut = WaitForSingleObject(process.hProcess, kTimeoutMs) != WAIT_OBJECT_0;
            if (result.run.timedOut) TerminateProcess(process.hProcess, 255);
            WaitForSingleObject(process.hProcess, 10000);
            GetExitCodeProcess(process.hProcess, &result.run.exitCode);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
    result.report.Load(reportPath);
    DeleteFileA(reportPath.c_str());
    return result;
}

float SeparatorToken(const CallRecord& record) {
    float token = -2.0f;
    if (record.payload.size() == sizeof token) std::memcpy(&token, record.payload.data(), sizeof token);
    return token;
}

// The records between the separators, by separator number.
std::vector<std::vector<CallRecord>> Segments(const std::vector<CallRecord>& calls, std::size_t count, bool* ended) {
    std::vector<std::vector<CallRecord>> segments(count);
    std::vector<CallRecord>* current = nullptr;
    *ended = false;
    for (const CallRecord& record : calls) {
        if (record.id == kestrel::api::glPassThrough) {
            const float token = SeparatorToken(record);
            const auto index = static_cast<std::size_t>(token);
            *ended = token == -1.0f;
            current = token >= 0 && index < count && static_cast<float>(index) == token ? &segments[index] : nullptr;
            continue;
        }
        if (current) current->push_back(record);
    }
    return segments;
}

}  // namespace

TEST(Payloads, EveryCaseRecordsExactlyItsBytesAndReachesItsRealFunction) {
    const FakeCapture capture = RunWithFake(KESTREL_RECORD_APP, "cases");
    ASSERT_TRUE(capture.run.started) << capture.run.error;
    ASSERT_FALSE(capture.run.timedOut);
    ASSERT_EQ(capture.run.exitCode, 0u);
    EXPECT_TRUE(capture.complete) << "every declared size must match the bytes written";

    const std::vector<PayloadCase>& cases = PayloadCases();
    ASSERT_EQ(capture.report.U32("all", "cases"), cases.size()) << "the program did not make every call";
    bool ended = false;
    const auto segments = Segments(capture.calls, cases.size(), &ended);
    EXPECT_TRUE(ended) << "the capture lacks the last separator";
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const PayloadCase& c = cases[i];
        const std::string scope = ScopeOf(c.name);
        const std::vector<CallRecord> expected = c.expect(capture.report, scope);
        EXPECT_FALSE(expected.empty()) << c.name << ": the case expects no record";
        EXPECT_EQ(segments[i], expected) << c.name << "\n  recorded:" << Describe(segments[i])
                                         << "\n  expected:" << Describe(expected);
        EXPECT_EQ(capture.report.Text(scope, "reached"), c.reached) << c.name << ": the real functions called";
        EXPECT_FALSE(capture.report.Has(scope, "failed")) << c.name << ": " << capture.report.Text(scope, "failed");
    }
}

// The pop of a debug group runs outside the record stream's lock in "Zionx64.exe" only: there a
// second thread's call made during the real pop is recorded at once, before the pop's own record.
TEST(Payloads, PopDebugGroupRunsOutsideTheStreamLockOnlyInZion) {
    const std::string zionDir = TempFile("zion");
    CreateDirectoryA(zionDir.c_str(), nullptr);
    const std::string zion = zionDir + "\\Zionx64.exe";
    ASSERT_TRUE(CopyFileA(KESTREL_RECORD_APP, zion.c_str(), FALSE));
    struct Cleanup {
        std::string file, dir;
        ~Cleanup() {
            DeleteFileA(file.c_str());
            RemoveDirectoryA(dir.c_str());
        }
    } cleanup{zion, zionDir};

    const std::uint32_t pop = 0x4000632Eu, flush = kestrel::api::glFlush;
    struct Run {
        std::string program;
        const char* flushDuringPop;
        std::vector<std::uint32_t> order;  // ids between the two separators
    };
    const Run runs[] = {
        {KESTREL_RECORD_APP, "no", {pop, flush}},
        {zion, "yes", {flush, pop}},
    };
    for (const Run& r : runs) {
        const FakeCapture capture = RunWithFake(r.program, "popgroup");
        ASSERT_TRUE(capture.run.started) << r.program << ": " << capture.run.error;
        ASSERT_EQ(capture.run.exitCode, 0u) << r.program;
        EXPECT_TRUE(capture.complete) << r.program;
        EXPECT_EQ(capture.report.Text("popgroup", "flushDuringPop"), r.flushDuringPop) << r.program;
        bool ended = false;
        const std::vector<CallRecord> between = Segments(capture.calls, 1, &ended)[0];
        std::vector<std::uint32_t> order;
        for (const CallRecord& record : between) {
            order.push_back(record.id);
            if (record.id == pop) {
                EXPECT_TRUE(record.payload.empty()) << r.program;
            }
        }
        EXPECT_EQ(order, r.order) << r.program << Describe(capture.calls);
    }
}

// An alias call hands its own real entry point to the target's recorder: another thread's call of
// the target under its own name, at the same moment, still reaches the target's real function.
TEST(Payloads, AliasCallsNeverRedirectAnotherThreadsCallOfTheTarget) {
    constexpr std::uint32_t kCalls = 20000;  // per thread, as record_app makes them
    for (const bool captured : {false, true}) {
        const FakeCapture capture = RunWithFake(KESTREL_RECORD_APP, "aliasrace", captured);
        const char* how = captured ? "under capture" : "without a capture";
        ASSERT_TRUE(capture.run.started) << how << ": " << capture.run.error;
        ASSERT_FALSE(capture.run.timedOut) << how;
        ASSERT_EQ(capture.run.exitCode, 0u) << how;
        EXPECT_EQ(capture.report.U32("aliasrace", "alias"), kCalls) << how;
        EXPECT_EQ(capture.report.U32("aliasrace", "target"), kCalls) << how;
        EXPECT_EQ(capture.report.U32("aliasrace", "misrouted"), 0u) << how;
        if (!captured) continue;
        // Each alias call: its marker, then a record of the target; the target's own calls: a record.
        std::uint32_t markers = 0, records = 0;
        for (const CallRecord& record : capture.calls) {
            markers += record.id == kestrel::kAliasMarkerRecord;
            records += record.id == kestrel::api::glBeginQueryARB;
        }
        EXPECT_TRUE(capture.complete);
        EXPECT_EQ(markers, kCalls);
        EXPECT_EQ(records, 2 * kCalls);
    }
}
