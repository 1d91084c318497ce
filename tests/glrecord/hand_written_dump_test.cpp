// Every hand-written recorder called once under capture, with the fake system library behind the
// recorder: read back by kestrel dump --json, each record names every field of its fixed part and
// shows in it what the program passed (its arguments, the structure a pointer pointed to), what the
// recorder adds (rectangles, geometry kinds, byte counts, hashes) or the fake's result, and every
// byte after the fixed part belongs to a block of its description.
#include <gtest/gtest.h>

#include <windows.h>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "CaptureBuilder.h"
#include "ReadBack.h"
#include "capture/TableHash.h"
#include "controller/dump/JsonRecordWriter.h"
#include "controller/reading/TextOutput.h"
#include "controller/reading/ValueFormatter.h"
#include "gen/ApiDescription.h"
#include "tests/glrecord/fake/FakeControl.h"
#include "tests/glrecord/support/CallShapes.h"
#include "tests/glrecord/support/CaseSegments.h"
#include "tests/glrecord/support/FakeSystemLibrary.h"
#include "tests/glrecord/support/Report.h"
#include "tests/glrecord/support/SweepArguments.h"
#include "tests/support/TestController.h"

namespace {

namespace description = kestrel::description;
using kestrel::TextOutput;

// A value as the JSON dump writes it: a number as it is, anything else as a string.
std::string Json(description::ValueKind kind, unsigned width, const std::uint8_t* bytes, const char* function,
                 const char* name) {
    TextOutput text;
    kestrel::ValueFormatter::Append(text, kind, width, bytes, function, name);
    const std::string value(text.text());
    static const std::regex kNumber(R"(-?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?)");
    if (std::regex_match(value, kNumber)) return value;
    TextOutput quoted;
    kestrel::JsonRecordWriter::String(quoted, reinterpret_cast<const std::uint8_t*>(value.data()), value.size());
    return std::string(quoted.text());
}

std::string Values(const description::FieldDescription& field, const std::vector<std::uint8_t>& bytes,
                   const char* function, const char* name) {
    std::string out = field.count > 1 ? "[" : "";
    for (unsigned i = 0; i < field.count; ++i) {
        if (i) out += ',';
        out += Json(field.kind, field.width, bytes.data() + i * field.width, function, name);
    }
    if (field.count > 1) out += ']';
    return out;
}

std::vector<std::uint8_t> Widened(const void* value, std::uint32_t size, std::uint32_t width) {
    std::vector<std::uint8_t> bytes(width, 0);
    std::memcpy(bytes.data(), value, size < width ? size : width);
    return bytes;
}

std::vector<std::uint8_t> Region(std::uint32_t position, std::uint32_t from, std::uint32_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::uint32_t i = 0; i < size; ++i) bytes[i] = sweep::RegionByte(position, from + i);
    return bytes;
}

// What the recorders add to their records, for the sweep's arguments: a device context of no
// window (rectangle 0 and geometry kind 2), an empty attribute list (its terminating 0), the hash of
// a binary's bytes.
std::vector<std::uint8_t> Added(const CallShape& shape, const description::FieldDescription& field) {
    const std::string function = shape.name, name = field.name;
    std::uint32_t value = 0;
    if (name == "geometryKind") value = 2;
    if (name == "attribBytes") value = 4;
    if (name == "hash" && function == "glProgramBinary") {
        const std::vector<std::uint8_t> binary = Region(2, 0, 4);  // binary, length 4
        value = kestrel::TableHash(binary.data(), binary.size());
    }
    if (name == "hash" && function == "glGetProgramBinary") {
        std::uint32_t returned = 0;  // as much as the fake left in *length, at most bufSize (2)
        const std::vector<std::uint8_t> length = Region(2, 0, 4);
        std::memcpy(&returned, length.data(), 4);
        const std::vector<std::uint8_t> binary = Region(4, 0, returned < 2 ? returned : 2);
        value = kestrel::TableHash(binary.data(), binary.size());
    }
    return Widened(&value, 4, field.width * field.count);
}

std::string ExpectedResult(const CallShape& shape, const description::FieldDescription& field) {
    std::uint64_t value = fakegl::DefaultResult(shape.index);
    if (std::strcmp(shape.name, "wglGetProcAddress") == 0) value = 0;  // the fake knows no such name
    if (shape.result == 'f') {
        const float f = static_cast<float>(fakegl::DefaultFloatResult(shape.index));
        return Values(field, Widened(&f, 4, field.width), shape.name, "result");
    }
    return Values(field, Widened(&value, 8, field.width * field.count), shape.name, "result");
}

// The "args" object and the result the dump must show for the call.
std::string ExpectedCall(const CallShape& shape, const description::ApiDescription& api,
                         const std::vector<std::uint8_t>& args) {
    const std::vector<std::uint32_t> offsets = sweep::StackOffsets(shape);
    std::string out = "\"args\":{", result;
    std::string owner;
    std::uint32_t memberBase = 0;
    bool first = true;
    for (unsigned i = 0; i < api.fieldCount; ++i) {
        const description::FieldDescription& field = api.fields[i];
        const std::uint32_t size = field.width * field.count;
        if (field.isResult) {
            result = ",\"result\":";
            result += ExpectedResult(shape, field);
            continue;
        }
        const char* dot = std::strchr(field.name, '.');
        const std::string fieldOwner = dot ? std::string(field.name, dot) : "";
        if (!owner.empty() && fieldOwner != owner) out += "}";
        if (!first && !(dot && fieldOwner == owner)) out += ",";
        if (dot && fieldOwner != owner) {
            out += '"';
            out += fieldOwner;
            out += "\":{";
            memberBase = field.offset;
        } else if (dot) {
            out += ",";
        }
        owner = fieldOwner;
        first = false;
        const char* shown = dot ? dot + 1 : field.name;
        out += '"';
        out += shown;
        out += "\":";
        std::vector<std::uint8_t> bytes;
        if (dot) {
            bytes = Region(static_cast<std::uint32_t>(field.parameter), field.offset - memberBase, size);
        } else if (field.parameter >= 0) {
            const auto k = static_cast<std::uint32_t>(field.parameter);
            bytes = Widened(args.data() + offsets[k], ValueBytes(shape.params[k]), size);
        } else {
            bytes = Added(shape, field);
        }
        out += Values(field, bytes, shape.name, shown);
    }
    if (!owner.empty()) out += "}";
    return out + "}" + result;
}

}  // namespace

TEST(HandWrittenDump, EveryFieldIsNamedAndShowsWhatTheProgramPassed) {
    FakeSystemLibrary fake(KESTREL_FAKE_GL, {"sweep_app.exe"});
    ASSERT_TRUE(fake.error().empty()) << fake.error();
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string reportPath = std::string(temp) + "kestrel-handwritten-" + std::to_string(GetCurrentProcessId());
    TestController controller;
    controller.policy.settings.hookMode = 1;
    const TestController::Run run =
        controller.RunApp(KESTREL_SWEEP_APP, {TestController::RecorderPath(), reportPath, "handwritten"}, false, 180000);
    Report report;
    report.Load(reportPath);
    DeleteFileA(reportPath.c_str());
    ASSERT_TRUE(run.started) << run.error;
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.exitCode, 0u);

    std::vector<const CallShape*> shapes;
    for (std::uint32_t i = 0; i < kCallShapeCount; ++i)
        if (!kCallShapes[i].passThrough && kCallShapes[i].handWritten && kCallShapes[i].aliasNumber < 0)
            shapes.push_back(&kCallShapes[i]);
    ASSERT_EQ(report.U32("sweep", "handWritten"), shapes.size());
    bool complete = false;
    const std::vector<std::vector<CallRecord>> cases =
        CaseSegments(controller.Records(&complete), static_cast<int>(shapes.size()));
    ASSERT_EQ(cases.size(), shapes.size());
    const std::uint32_t base = report.U32("sweep", "base"), zeroBase = report.U32("sweep", "zeroBase");

    kestrel::DumpOptions json;
    json.json = true;
    unsigned checked = 0;
    for (std::size_t n = 0; n < shapes.size(); ++n) {
        const CallShape& shape = *shapes[n];
        SCOPED_TRACE(shape.name);
        const description::ApiDescription* api = description::FindApi(shape.apiId);
        ASSERT_NE(api, nullptr);
        const CallRecord* record = nullptr;
        for (const CallRecord& r : cases[n])
            if (r.id == shape.apiId) record = &r;
        if (!record) {
            ADD_FAILURE() << "no record";
            continue;
        }
        kestrel::test::CaptureBuilder capture;
        capture.Opening();
        capture.Record(record->id, kestrel::test::Payload().Raw(record->payload.data(), record->payload.size()));
        const std::string line = kestrel::test::DumpLines(capture.bytes(), json).back();
        EXPECT_NE(line.find("\"function\":\"" + std::string(shape.name) + "\""), std::string::npos) << line;
        const std::string expected = ExpectedCall(shape, *api, sweep::HandWrittenArguments(shape, base, zeroBase));
        EXPECT_NE(line.find(expected), std::string::npos) << line << "\n  expected " << expected;
        // Every byte after the fixed part lies in a block the description names.
        const std::size_t data = line.find(",\"data\":");
        for (std::size_t at = line.find("\"source\":\"", data); data != std::string::npos && at != std::string::npos; at = line.find("\"source\":\"", at + 1)) {
            const std::size_t start = at + std::strlen("\"source\":\"");
            const std::string source = line.substr(start, line.find('"', start) - start);
            bool described = false;
            for (unsigned i = 0; i < api->blockCount; ++i) described = described || source == api->block[i].source;
            EXPECT_TRUE(described) << source << " in " << line;
        }
        ++checked;
    }
    EXPECT_EQ(checked, shapes.size());
}
