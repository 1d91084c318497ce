// Makes recorded calls for the recording tests, with the recorder loaded by path and the fake
// system library behind it.
//   record_app RECORDER REPORT cases      every call of the payload table, each after a separator
//                                         (glPassThrough with the case's number)
//   record_app RECORDER REPORT popgroup   glPopDebugGroup, during whose real call a second thread
//                                         makes a recorded call
//   record_app RECORDER REPORT aliasrace  one thread calls glBeginQuery, another glBeginQueryARB, at
//                                         once; each call must reach its own real function
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "glrecord/GLTypes.h"
#include "tests/glrecord/PayloadCases.h"
#include "tests/glrecord/support/CallShapes.h"

namespace {

RecorderModule g_recorder;

// "a b*3 c": the fake's functions in the order they were called.
std::string Reached(RecorderModule& recorder) {
    static std::vector<fakegl::LogEntry> log(8192);
    const std::uint32_t count = recorder.fake().takeLog(log.data(), static_cast<std::uint32_t>(log.size()));
    std::string text;
    for (std::uint32_t i = 0; i < count && i < log.size();) {
        std::uint32_t run = 1;
        while (i + run < count && i + run < log.size() && log[i + run].index == log[i].index) ++run;
        if (!text.empty()) text += ' ';
        text += log[i].index < kCallShapeCount ? kCallShapes[log[i].index].name : "?";
        if (run > 1) {
            text += '*';
            text += std::to_string(run);
        }
        i += run;
    }
    return text;
}

int RunCases(ReportWriter& report) {
    auto separator = g_recorder.Gl<void(kgl::GLfloat)>("glPassThrough");
    const std::vector<PayloadCase>& cases = PayloadCases();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        separator(static_cast<float>(i));
        g_recorder.fake().takeLog(nullptr, 0);
        CaseContext context{g_recorder, report, ScopeOf(cases[i].name)};
        cases[i].call(context);
        report.Put(context.scope, "reached", Reached(g_recorder));
    }
    separator(-1.0f);
    report.Put("all", "cases", static_cast<std::uint32_t>(cases.size()));
    return 0;
}

// The second thread's recorded call, made while the first thread is inside the real glPopDebugGroup.
HANDLE g_flushDone = nullptr;
ReportWriter* g_report = nullptr;

void __cdecl DuringPop() {
    std::thread([] {
        g_recorder.Gl<void()>("glFlush")();
        SetEvent(g_flushDone);
    }).detach();
    const bool done = WaitForSingleObject(g_flushDone, 1500) == WAIT_OBJECT_0;
    g_report->Put("popgroup", "flushDuringPop", done ? "yes" : "no");
}

int RunPopGroup(ReportWriter& report) {
    g_report = &report;
    g_flushDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    auto separator = g_recorder.Gl<void(kgl::GLfloat)>("glPassThrough");
    // An activation resolves the extension entry points, glPopDebugGroup's among them.
    g_recorder.Gl<kgl::BOOL(kgl::HDC, kgl::HGLRC)>("wglMakeCurrent")(reinterpret_cast<kgl::HDC>(0x0DC0),
                                                                     reinterpret_cast<kgl::HGLRC>(0x0C70));
    separator(0.0f);
    const CallShape* pop = FindShape("glPopDebugGroup");
    g_recorder.fake().setHook(pop->index, &DuringPop);
    g_recorder.Ext<void()>("glPopDebugGroup")();
    g_recorder.fake().setHook(pop->index, nullptr);
    WaitForSingleObject(g_flushDone, 10000);  // the flush waited for the lock: let it finish
    separator(1.0f);
    return 0;
}

constexpr int kRaceCalls = 20000;

int RunAliasRace(ReportWriter& report) {
    using BeginQueryFn = void(__stdcall*)(kgl::GLenum, kgl::GLuint);
    auto lookup = g_recorder.Gl<kgl::PROC(kgl::LPCSTR)>("wglGetProcAddress");
    // Without an activation through the recorder, the second lookup hands out the interceptor.
    BeginQueryFn alias = nullptr, target = nullptr;
    for (int i = 0; i < 2; ++i) {
        alias = reinterpret_cast<BeginQueryFn>(reinterpret_cast<void*>(lookup("glBeginQuery")));
        target = reinterpret_cast<BeginQueryFn>(reinterpret_cast<void*>(lookup("glBeginQueryARB")));
    }
    if (alias != g_recorder.Export("_inttrk_glBeginQuery@8") || target != g_recorder.Export("_inttrk_glBeginQueryARB@8"))
        return 4;
    g_recorder.fake().takeLog(nullptr, 0);
    std::thread first([alias] {
        for (int i = 0; i < kRaceCalls; ++i) alias(0x8914, 1);
    });
    std::thread second([target] {
        for (int i = 0; i < kRaceCalls; ++i) target(0x8914, 2);
    });
    first.join();
    second.join();
    std::vector<fakegl::LogEntry> log(3 * kRaceCalls);
    const std::uint32_t count = g_recorder.fake().takeLog(log.data(), static_cast<std::uint32_t>(log.size()));
    const std::uint32_t aliasIndex = FindShape("glBeginQuery")->index, targetIndex = FindShape("glBeginQueryARB")->index;
    std::uint32_t byAlias = 0, byTarget = 0, misrouted = 0;
    for (std::uint32_t i = 0; i < count && i < log.size(); ++i) {
        std::uint32_t id = 0;
        std::memcpy(&id, log[i].args + 4, sizeof id);  // which thread called
        if (log[i].index == aliasIndex && id == 1) ++byAlias;
        else if (log[i].index == targetIndex && id == 2) ++byTarget;
        else ++misrouted;
    }
    report.Put("aliasrace", "alias", byAlias);
    report.Put("aliasrace", "target", byTarget);
    report.Put("aliasrace", "misrouted", misrouted);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);  // a crash ends the program, no debugger
    if (argc != 4) {
        std::fprintf(stderr, "usage: record_app RECORDER REPORT cases|popgroup|aliasrace\n");
        return 2;
    }
    ReportWriter report(argv[2]);
    if (!report.ok()) {
        std::fprintf(stderr, "record_app: cannot write %s\n", argv[2]);
        return 2;
    }
    g_recorder.Load(argv[1]);
    if (!std::strcmp(argv[3], "cases")) return RunCases(report);
    if (!std::strcmp(argv[3], "popgroup")) return RunPopGroup(report);
    if (!std::strcmp(argv[3], "aliasrace")) return RunAliasRace(report);
    std::fprintf(stderr, "record_app: unknown mode %s\n", argv[3]);
    return 2;
}
