// Every interceptor called once under capture against the fake system library: the fake must receive
// exactly the application's arguments (sweep_app checks that), and the capture must hold exactly one
// record per call (after an alias marker for aliases) under the right id, whose fixed part holds the
// arguments and the result as the record description lays them out and whose data block holds the
// bytes its pointer argument points to.
#include <gtest/gtest.h>

#include <windows.h>
#include <cstring>
#include <string>
#include <vector>

#include "gen/ApiDescription.h"
#include "gen/ApiTable.h"
#include "stream/StreamRecordId.h"
#include "tests/glrecord/fake/FakeControl.h"
#include "tests/glrecord/support/Bytes.h"
#include "tests/glrecord/support/CallRecords.h"
#include "tests/glrecord/support/CallShapes.h"
#include "tests/glrecord/support/FakeSystemLibrary.h"
#include "tests/glrecord/support/Report.h"
#include "tests/glrecord/support/SweepArguments.h"
#include "tests/support/TestController.h"

namespace {

namespace description = kestrel::description;

std::vector<std::uint8_t> RegionBytes(std::uint32_t position, std::uint32_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::uint32_t i = 0; i < size; ++i) bytes[i] = sweep::RegionByte(position, i);
    return bytes;
}

std::vector<std::uint8_t> Low(const void* value, std::uint32_t width) {
    const auto* p = static_cast<const std::uint8_t*>(value);
    return std::vector<std::uint8_t>(p, p + width);
}

// What the record of a field must hold when the fake returned its default result.
std::vector<std::uint8_t> ExpectedResult(const CallShape& shape, const description::FieldDescription& field) {
    if (std::strcmp(shape.name, "wglGetProcAddress") == 0) return std::vector<std::uint8_t>(field.width, 0);
    if (shape.result == 'f') {
        const float value = static_cast<float>(fakegl::DefaultFloatResult(shape.index));
        return Low(&value, field.width);
    }
    const std::uint64_t value = fakegl::DefaultResult(shape.index);
    return Low(&value, field.width);
}

std::string CheckPayload(const CallShape& shape, std::uint32_t base, const CallRecord& record) {
    const description::ApiDescription* api = description::FindApi(shape.apiId);
    if (!api) return "no description of its id";
    const std::vector<std::uint8_t>& payload = record.payload;
    if (payload.size() < api->fixedSize) return "payload shorter than its fixed part";
    const std::vector<std::uint8_t> args = sweep::Arguments(shape, base);
    const std::vector<std::uint32_t> offsets = sweep::StackOffsets(shape);
    for (std::uint16_t i = 0; i < api->fieldCount; ++i) {
        const description::FieldDescription& field = api->fields[i];
        const std::uint32_t size = field.width * field.count;
        std::vector<std::uint8_t> expected;
        if (field.isResult && fakegl::ReturnsFakeString(shape.name)) {
            continue;  // the address of the fake's own string, which this process cannot know
        } else if (field.isResult) {
            expected = ExpectedResult(shape, field);
        } else {
            const auto k = static_cast<std::uint32_t>(field.parameter);
            if (shape.params[k] == 'p' && field.kind != description::ValueKind::Pointer)
                expected = RegionBytes(k, size);  // the values of a fixed-count vector form
            else
                expected = Low(args.data() + offsets[k], size);
        }
        const std::vector<std::uint8_t> got(payload.begin() + field.offset, payload.begin() + field.offset + size);
        if (got != expected) return std::string("field ") + field.name + " is " + Hex(got) + ", expected " + Hex(expected);
    }
    const std::uint32_t blockSize = static_cast<std::uint32_t>(payload.size()) - api->fixedSize;
    if (!api->block) return blockSize ? "bytes after the fixed part, which has no data block" : "";
    if (blockSize > sweep::kRegionBytes) return "a data block larger than the arguments allow";
    const std::vector<std::uint8_t> block(payload.begin() + api->fixedSize, payload.end());
    if (block != RegionBytes(static_cast<std::uint32_t>(api->block->parameter), blockSize))
        return std::string("the data block is not what ") + api->block->source + " points to";
    return "";
}

}  // namespace

TEST(EveryInterceptor, ForwardsItsArgumentsAndRecordsOneCallUnderItsId) {
    FakeSystemLibrary fake(KESTREL_FAKE_GL, {"sweep_app.exe"});
    ASSERT_TRUE(fake.error().empty()) << fake.error();
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string reportPath = std::string(temp) + "kestrel-sweep-" + std::to_string(GetCurrentProcessId());
    TestController controller;
    controller.policy.settings.hookMode = 1;
    const TestController::Run run =
        controller.RunApp(KESTREL_SWEEP_APP, {TestController::RecorderPath(), reportPath}, false, 120000);
    Report report;
    report.Load(reportPath);
    DeleteFileA(reportPath.c_str());
    ASSERT_TRUE(run.started) << run.error;
    ASSERT_FALSE(run.timedOut);
    ASSERT_EQ(run.exitCode, 0u);
    std::uint32_t handWritten = 0;
    for (std::uint32_t i = 0; i < kCallShapeCount; ++i) handWritten += kCallShapes[i].handWritten;
    ASSERT_GT(handWritten, 0u);
    ASSERT_EQ(report.U32("sweep", "handWritten"), handWritten);
    ASSERT_EQ(report.U32("sweep", "called") + handWritten, kestrel::kFunctionCount);

    std::vector<std::string> faults;
    for (std::uint32_t i = 0; i < kCallShapeCount; ++i)
        if (report.Has(kCallShapes[i].name, "received"))
            faults.push_back(std::string(kCallShapes[i].name) + ": " + report.Text(kCallShapes[i].name, "received"));

    bool complete = false;
    const std::vector<CallRecord> calls = CallRecords(controller.Records(&complete));
    EXPECT_TRUE(complete) << "a declared size differs from the bytes written";
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].id, kestrel::api::wglMakeCurrent);
    const std::uint32_t base = report.U32("sweep", "base");
    std::size_t at = 1;
    for (std::uint32_t i = 0; i < kCallShapeCount && at < calls.size(); ++i) {
        const CallShape& shape = kCallShapes[i];
        if (shape.passThrough || shape.handWritten) continue;
        const std::string name = shape.name;
        if (shape.aliasNumber >= 0) {
            const CallRecord marker{kestrel::kAliasMarkerRecord,
                                    Bytes().u32(shape.apiId).u32(static_cast<std::uint32_t>(shape.aliasNumber)).data()};
            if (!(calls[at] == marker)) {
                faults.push_back(name + ": no alias marker but " + Describe(calls[at]));
                break;  // the records no longer line up with the calls
            }
            ++at;
        }
        if (at >= calls.size() || calls[at].id != shape.apiId) {
            faults.push_back(name + ": the next record is " + (at < calls.size() ? Describe(calls[at]) : "missing"));
            break;
        }
        const std::string payloadFault = CheckPayload(shape, base, calls[at]);
        if (!payloadFault.empty()) faults.push_back(name + ": " + payloadFault);
        ++at;
    }
    EXPECT_EQ(at, calls.size()) << "records beyond the calls";
    std::string listed;
    for (std::size_t i = 0; i < faults.size() && i < 40; ++i) listed += "\n  " + faults[i];
    EXPECT_TRUE(faults.empty()) << faults.size() << " faults:" << listed;
}
