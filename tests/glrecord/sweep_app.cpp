// Calls every interceptor of the recorder once, in function index order, with the harmless
// arguments of tests/glrecord/support/SweepArguments.h, after one activation that resolves the
// extension entry points. The hand-written recorders follow pointers that these arguments do not
// make safe (attribute lists, arrays of index pointers) and ask the GL for state: they are left
// to their own tests against a real GL. Checks what the fake system library received for each call and reports
// every difference; the test checks the records.
//   sweep_app RECORDER REPORT
//   sweep_app RECORDER REPORT handwritten   calls every hand-written recorder instead, each after a
//                                           separator (glPassThrough with its number among them)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "glrecord/GLTypes.h"
#include "tests/glrecord/support/CallShapes.h"
#include "tests/glrecord/support/RecorderModule.h"
#include "tests/glrecord/support/Report.h"
#include "tests/glrecord/support/StdcallCaller.h"
#include "tests/glrecord/support/SweepArguments.h"

namespace {

// What the fake must have received: one call of the function itself with the same values.
std::string Received(const CallShape& shape, const std::vector<std::uint8_t>& args,
                     const std::vector<fakegl::LogEntry>& log, std::uint32_t count) {
    if (count != 1) return std::to_string(count) + " calls reached the fake";
    const fakegl::LogEntry& entry = log[0];
    if (entry.index != shape.index)
        return std::string("the call reached ") + (entry.index < kCallShapeCount ? kCallShapes[entry.index].name : "?");
    const std::vector<std::uint32_t> offsets = sweep::StackOffsets(shape);
    for (std::size_t k = 0; k < offsets.size(); ++k) {
        if (std::memcmp(entry.args + offsets[k], args.data() + offsets[k], ValueBytes(shape.params[k])) != 0)
            return "argument " + std::to_string(k) + " differs";
    }
    return "";
}

// The hand-written recorders, the same way: their records are checked field by field by name.
int CallHandWritten(RecorderModule& recorder, ReportWriter& report, std::uint32_t base) {
    void* zeros = VirtualAlloc(nullptr, sweep::kAreaBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!zeros) return 2;
    const auto zeroBase = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(zeros));
    report.Put("sweep", "zeroBase", zeroBase);
    auto separator = recorder.Gl<void(kgl::GLfloat)>("glPassThrough");
    std::uint32_t called = 0;
    for (std::uint32_t i = 0; i < kCallShapeCount; ++i) {
        const CallShape& shape = kCallShapes[i];
        if (shape.passThrough || !shape.handWritten || shape.aliasNumber >= 0) continue;
        const std::vector<std::uint8_t> args = sweep::HandWrittenArguments(shape, base, zeroBase);
        const void* entry = recorder.Export(recorder.InterceptorName(shape.name, shape.argBytes));
        separator(static_cast<float>(called));
        if (shape.result == 'f' || shape.result == 'd')
            CallStdcallFloat(entry, args.data(), shape.argBytes);
        else
            CallStdcall(entry, args.data(), shape.argBytes);
        ++called;
    }
    separator(-1.0f);
    report.Put("sweep", "handWritten", called);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (argc != 3 && !(argc == 4 && std::strcmp(argv[3], "handwritten") == 0)) {
        std::fprintf(stderr, "usage: sweep_app RECORDER REPORT [handwritten]\n");
        return 2;
    }
    ReportWriter report(argv[2]);
    void* area = VirtualAlloc(nullptr, sweep::kAreaBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!report.ok() || !area) return 2;
    auto* bytes = static_cast<std::uint8_t*>(area);
    for (std::uint32_t i = 0; i < sweep::kAreaBytes; ++i)
        bytes[i] = sweep::RegionByte(i / sweep::kRegionBytes, i % sweep::kRegionBytes);
    const auto base = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(area));
    report.Put("sweep", "base", base);

    RecorderModule recorder;
    recorder.Load(argv[1]);
    recorder.Gl<kgl::BOOL(kgl::HDC, kgl::HGLRC)>("wglMakeCurrent")(reinterpret_cast<kgl::HDC>(0x0DC0),
                                                                   reinterpret_cast<kgl::HGLRC>(0x0C70));
    if (argc == 4) return CallHandWritten(recorder, report, base);
    std::vector<fakegl::LogEntry> log(64);
    std::uint32_t called = 0, handWritten = 0;
    for (std::uint32_t i = 0; i < kCallShapeCount; ++i) {
        const CallShape& shape = kCallShapes[i];
        if (shape.passThrough) continue;
        if (shape.handWritten) {
            ++handWritten;
            continue;
        }
        const std::vector<std::uint8_t> args = sweep::Arguments(shape, base);
        const void* interceptor = recorder.Export(recorder.InterceptorName(shape.name, shape.argBytes));
        recorder.fake().takeLog(nullptr, 0);
        if (shape.result == 'f' || shape.result == 'd')
            CallStdcallFloat(interceptor, args.data(), shape.argBytes);
        else
            CallStdcall(interceptor, args.data(), shape.argBytes);
        const std::uint32_t count = recorder.fake().takeLog(log.data(), static_cast<std::uint32_t>(log.size()));
        const std::string difference = Received(shape, args, log, count);
        if (!difference.empty()) report.Put(shape.name, "received", difference);
        ++called;
    }
    report.Put("sweep", "called", called);
    report.Put("sweep", "handWritten", handWritten);
    return 0;
}
