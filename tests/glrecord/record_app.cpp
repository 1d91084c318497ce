// Makes recorded calls for the recording tests, with the recorder loaded by path and the fake
// system library behind it.
//   record_app RECORDER REPORT cases      every call of the payload table, each after a separator
//                                         (glPassThrough with the case's number)
//   record_app RECORDER REPORT popgroup   glPopDebugGroup, during whose real call a second thread
//                                         makes a recorded call
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

}  // namespace

int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);  // a crash ends the program, no debugger
    if (argc != 4) {
        std::fprintf(stderr, "usage: record_app RECORDER REPORT cases|popgroup\n");
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
    std::fprintf(stderr, "record_app: unknown mode %s\n", argv[3]);
    return 2;
}
