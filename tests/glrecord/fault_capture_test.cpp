// What a careless or unusual application does, under a real capture: fault_app runs one section per
// capture with the recorder as its opengl32.dll. Each case's records are checked to the byte, and the
// program reports that it ran on and that its GL state and error queue are as the GL left them.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gen/ApiTable.h"
#include "stream/DrawablePayload.h"
#include "stream/StreamRecordId.h"
#include "tests/glrecord/DrawCases.h"
#include "tests/glrecord/FaultCases.h"
#include "tests/glrecord/support/Bytes.h"
#include "tests/glrecord/support/CallRecords.h"
#include "tests/glrecord/support/CaseSegments.h"
#include "tests/glrecord/support/Report.h"
#include "tests/images/TempFolder.h"
#include "tests/support/TestController.h"

namespace {

namespace api = kestrel::api;
using namespace faultcases;
using Records = std::vector<CallRecord>;

struct SectionCapture {
    std::unique_ptr<TempFolder> images;
    std::string imagePrefix;
    TestController::Run run;
    Report report;
    bool complete = false;
    std::vector<Records> segments;

    bool ImageOfFrame(int frame) const {
        char name[16];
        std::snprintf(name, sizeof name, "%.4d.png", frame);
        return images->Exists(imagePrefix + name);
    }
};

// One capture of a section, made once; the images section takes an image after every draw.
const SectionCapture& Capture(const std::string& section) {
    static std::map<std::string, std::unique_ptr<SectionCapture>> captures;
    std::unique_ptr<SectionCapture>& capture = captures[section];
    if (capture) return *capture;
    capture = std::make_unique<SectionCapture>();
    SectionCapture& c = *capture;
    c.images = std::make_unique<TempFolder>("faults-" + section);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string reportPath =
        std::string(temp) + "kestrel-faults-" + section + "-" + std::to_string(GetCurrentProcessId());
    TestController controller;
    if (section == "images") {
        kestrel::CaptureSettings& s = controller.policy.settings;
        s.imagesByFrame = 1;  // the flag that saves them
        s.imagesByDraw = 1;
        s.imageFirstFrame = 0;
        s.imageInterval = 1;
        s.imageLimit = 0xFFFFFFFF;
        std::snprintf(s.imageFolder, sizeof s.imageFolder, "%s", c.images->path().c_str());
    }
    const std::string& base = controller.policy.baseName;
    c.imagePrefix = base.substr(base.find_last_of('\\') + 1) + "_";
    c.run = controller.RunApp(KESTREL_FAULT_APP, {reportPath, section}, true, 120000);
    c.report.Load(reportPath);
    DeleteFileA(reportPath.c_str());
    c.segments = CaseSegments(controller.Records(&c.complete), kCaseCount);
    return c;
}

class RecorderFaults : public ::testing::Test {
protected:
    const SectionCapture& Run(const char* section) {
        const SectionCapture& c = Capture(section);
        ranWhole_ = c.run.started && !c.run.timedOut && c.run.exitCode == 0 && c.report.Text("all", "done") == "yes";
        EXPECT_TRUE(c.run.started) << c.run.error;
        EXPECT_FALSE(c.run.timedOut);
        EXPECT_EQ(c.run.exitCode, 0u) << "the program died or failed: " << c.report.Text("all", "failed");
        EXPECT_EQ(c.report.Text("all", "done"), "yes") << c.report.Text("all", "failed");
        EXPECT_TRUE(c.complete) << "every declared size must match the bytes written";
        return c;
    }
    bool ranWhole_ = false;
};

// An error the drivers differ on (llvmpipe draws nothing for a negative first, without an error).
constexpr std::uint32_t kAsTheGLSays = 0xFFFFFFFFu;

std::string Scope(Case c) {
    std::string scope = std::to_string(static_cast<int>(c));
    scope.insert(scope.begin(), 'c');
    return scope;
}

CallRecord Rec(std::uint32_t id, const Bytes& payload) { return {id, payload.data()}; }

std::vector<std::uint8_t> Slice(const std::vector<float>& values, std::size_t offset, std::size_t length) {
    std::vector<std::uint8_t> bytes(values.size() * sizeof(float));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return {bytes.begin() + static_cast<std::ptrdiff_t>(offset), bytes.begin() + static_cast<std::ptrdiff_t>(offset + length)};
}

CallRecord Dump(std::uint64_t address, std::uint32_t offset, const std::vector<std::uint8_t>& bytes) {
    Bytes payload;
    payload.addr(address).u32(offset).u32(0).raw(bytes.data(), bytes.size());
    return {kestrel::kClientMemoryBlockRecord, payload.data()};
}

void ExpectSegment(const SectionCapture& c, Case which, const Records& expected) {
    const Records& recorded = c.segments[static_cast<std::size_t>(which)];
    EXPECT_EQ(recorded, expected) << "case " << which << "\n  recorded:" << Describe(recorded)
                                  << "\n  expected:" << Describe(expected);
}

// Ranges that do not exist dump nothing; every range that does is exactly the vertices the GL reads,
// whatever vertex array object, restart index, indirect buffer or element size the program used.
TEST_F(RecorderFaults, DrawsDumpExactlyTheVerticesTheGLReads) {
    const SectionCapture& c = Run("draws");
    ASSERT_TRUE(ranWhole_);
    const Report& r = c.report;
    const std::vector<float> points = drawcases::PointsVertices();
    const std::uint64_t p = r.Address("all", "points");
    auto dumpPoints = [&](std::uint32_t first, std::uint32_t count) {
        return Dump(p, first * 12, Slice(points, first * 12, count * 12));
    };
    auto arrays = [](std::int32_t first, std::int32_t count) {
        return Rec(api::glDrawArrays, Bytes().u32(0).i32(first).i32(count));
    };
    auto indices = [&](Case which) { return r.Address(Scope(which), "indices"); };
    const std::uint16_t threeIndices[] = {7, 3, 9};
    const std::uint16_t restarted[] = {50, 0xFFFF, 20, 30};
    const std::uint32_t fixedRestarted[] = {5, 0xFFFFFFFFu, 9};
    const std::uint8_t indirectCommand[] = {5, 0, 0, 0, 1, 0, 0, 0, 60};
    const std::vector<std::uint8_t> colours = r.Bytes(Scope(kBgraColours), "colourBytes");
    const std::vector<std::uint8_t> packed = {0x01, 0x04, 0x10, 0x40, 0x02, 0x08, 0x20, 0x40,
                                              0x03, 0x0C, 0x30, 0x40, 0x04, 0x10, 0x40, 0x40};
    const struct {
        Case which;
        Records expected;
        std::uint32_t error;  // what the program's own glGetError gave after the case
    } cases[] = {
        {kVertexArrayElementBuffer,
         {dumpPoints(3, 7), Rec(api::glDrawElements, Bytes().u32(0).i32(3).u32(0x1403).addr(0).addr(0))}, 0},
        {kEmptyByteIndices, {Rec(api::glDrawElements, Bytes().u32(0).i32(0).u32(0x1401).addr(indices(kEmptyByteIndices)))}, 0},
        {kNegativeCount, {arrays(0, -1)}, 0x0501},
        {kNegativeFirst, {arrays(-5, 4)}, kAsTheGLSays},
        {kEndBeforeStart,
         {Rec(api::glDrawRangeElementsEXT, Bytes().u32(0).u32(9).u32(3).i32(3).u32(0x1403).addr(indices(kEndBeforeStart))
                                               .values(threeIndices))},
         0x0501},
        {kNoInstances,
         {Rec(api::glDrawArraysInstancedARB, Bytes().u32(0).i32(0).i32(4).i32(0)),
          Rec(api::glDrawArraysInstancedARB, Bytes().u32(0).i32(0).i32(4).i32(-1))},
         0x0501},
        {kClientRestart,
         {dumpPoints(20, 31),
          Rec(api::glDrawElements, Bytes().u32(0).i32(4).u32(0x1403).addr(indices(kClientRestart)).values(restarted))},
         0},
        {kClientFixedRestart,
         {dumpPoints(5, 5), Rec(api::glDrawElements, Bytes().u32(0).i32(3).u32(0x1405).addr(indices(kClientFixedRestart))
                                                         .values(fixedRestarted))},
         0},
        // The command written into the persistent mapping reaches the capture ahead of the draw that
        // reads it: its bytes up to the last that differs from the zeros the storage began with.
        {kIndirectMappedPersistently,
         {Rec(kestrel::kMappedWriteRecord, Bytes().u32(r.U32(Scope(kIndirectMappedPersistently), "buffer")).u32(1).u32(0)
                                              .u32(9).values(indirectCommand)),
          dumpPoints(60, 5), Rec(api::glDrawArraysIndirect, Bytes().u32(0).addr(0))},
         0},
        {kIndirectWithoutReadAccess, {dumpPoints(100, 4), Rec(api::glDrawArraysIndirect, Bytes().u32(0).addr(0))}, 0},
        {kIndirectPastTheBuffer, {Rec(api::glDrawArraysIndirect, Bytes().u32(0).addr(8))}, 0x0502},
        {kRangeInBuffer,
         {dumpPoints(3, 7), Rec(api::glDrawRangeElementsEXT, Bytes().u32(0).u32(3).u32(9).i32(3).u32(0x1403).addr(0).addr(0))},
         0},
        {kRangeBaseVertexInBuffer,
         {dumpPoints(13, 7),
          Rec(api::glDrawRangeElementsBaseVertex, Bytes().u32(0).u32(3).u32(9).i32(3).u32(0x1403).addr(0).i32(10).addr(0))},
         0},
        {kBgraColours, {Dump(r.Address(Scope(kBgraColours), "colours"), 0, colours), dumpPoints(0, 4), arrays(0, 4)}, 0},
        {kPackedAttribute, {Dump(r.Address(Scope(kPackedAttribute), "packed"), 0, packed), dumpPoints(0, 4), arrays(0, 4)}, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.which);
        ExpectSegment(c, row.which, row.expected);
        if (row.error != kAsTheGLSays) {
            EXPECT_EQ(r.U32(Scope(row.which), "error"), row.error) << "the program sees the GL's own error";
        }
        if (r.Has(Scope(row.which), "errorAfter")) {
            EXPECT_EQ(r.U32(Scope(row.which), "errorAfter"), 0u);
        }
    }
    EXPECT_EQ(r.U32(Scope(kIndirectMappedPersistently), "mapped"), 1u) << "the program's own mapping was kept";
}

// Bitmaps with colour tables or top-down rows are captured whole; a context the system would not
// delete keeps its recording state, so its later draws still carry their vertices.
TEST_F(RecorderFaults, BitmapsAreCapturedWholeAndARefusedDeleteKeepsTheContext) {
    const SectionCapture& c = Run("contexts");
    ASSERT_TRUE(ranWhole_);
    const Report& r = c.report;
    for (Case which : {kPalettedBitmap, kTopDownBitmap}) {
        SCOPED_TRACE(which);
        EXPECT_EQ(r.U32(Scope(which), "survived"), 1u);
        const std::vector<std::uint8_t> pixels = r.Bytes(Scope(which), "pixels");
        const Records& records = c.segments[which];
        ASSERT_EQ(records.size(), 2u) << Describe(records);
        ASSERT_EQ(records[0].id, kestrel::kDrawableRecord);
        const std::vector<std::uint8_t>& payload = records[0].payload;
        ASSERT_EQ(payload.size(), sizeof(kestrel::DrawableRecord) + sizeof(DIBSECTION) + pixels.size())
            << "the record holds the section's rows, nothing more";
        kestrel::DrawableRecord head{};
        std::memcpy(&head, payload.data(), sizeof head);
        EXPECT_EQ(head.deviceContext, r.Address(Scope(which), "dc"));
        EXPECT_TRUE(head.kindFlags & 4u) << "bitmap captured";
        // The rows in the order the recorded header gives: bottom-up unless its height is negative.
        DIBSECTION section{};
        std::memcpy(&section, payload.data() + sizeof head, sizeof section);
        const std::size_t rows = static_cast<std::size_t>(section.dsBm.bmHeight);
        ASSERT_GT(rows, 0u);
        const std::size_t rowBytes = pixels.size() / rows;
        std::vector<std::uint8_t> expected;
        for (std::size_t row = 0; row < rows; ++row) {
            const std::size_t from = section.dsBmih.biHeight < 0 ? row : rows - 1 - row;  // the program's are top-down
            expected.insert(expected.end(), pixels.begin() + static_cast<std::ptrdiff_t>(from * rowBytes),
                            pixels.begin() + static_cast<std::ptrdiff_t>((from + 1) * rowBytes));
        }
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), payload.begin() + sizeof head + sizeof section))
            << "the section's own rows; recorded height " << section.dsBmih.biHeight;
    }
    // No room for a copy of the pixels: the bitmap is described without them, and the program runs on.
    // Only a 32-bit program can leave no room; a 64-bit one's address space is too large to fill, and
    // there the bitmap is captured whole.
    const bool noRoom = sizeof(void*) == 4;
    EXPECT_EQ(r.U32(Scope(kBitmapBeyondMemory), "survived"), 1u);
    EXPECT_GT(r.U32(Scope(kBitmapBeyondMemory), "reserved"), 0u);
    const Records& beyond = c.segments[kBitmapBeyondMemory];
    ASSERT_EQ(beyond.size(), 2u) << Describe(beyond);
    ASSERT_EQ(beyond[0].id, kestrel::kDrawableRecord);
    const std::size_t hugeBytes = sizeof(DIBSECTION) + 4096u * 2048u * 4u;
    ASSERT_EQ(beyond[0].payload.size(), sizeof(kestrel::DrawableRecord) + (noRoom ? 0 : hugeBytes))
        << "no section and no pixels when there is no room";
    kestrel::DrawableRecord beyondHead{};
    std::memcpy(&beyondHead, beyond[0].payload.data(), sizeof beyondHead);
    EXPECT_EQ(beyondHead.deviceContext, r.Address(Scope(kBitmapBeyondMemory), "dc"));
    EXPECT_EQ(beyondHead.kindFlags, noRoom ? 2u : 2u | 4u) << "no window; the bitmap captured only with room";
    const std::int32_t beyondRect[4] = {0, 0, 4096, 2048};
    EXPECT_EQ(std::memcmp(beyondHead.rect, beyondRect, sizeof beyondRect), 0);
    EXPECT_EQ(beyond[1].id, api::wglGetPixelFormat);

    ASSERT_EQ(r.U32(Scope(kDeleteRefused), "deleted"), 0u) << "the system deleted a context current elsewhere";
    ExpectSegment(c, kDeleteRefused,
                  {Rec(api::wglDeleteContext, Bytes().addr(r.Address(Scope(kDeleteRefused), "context")).u32(0))});
    const std::vector<float> points = drawcases::PointsVertices();
    ExpectSegment(c, kDrawAfterRefusedDelete,
                  {Dump(r.Address("all", "points"), 0, Slice(points, 0, 48)),
                   Rec(api::glDrawArrays, Bytes().u32(0).i32(0).i32(4))});
}

// Buffers mapped through any target, or by name, give their written bytes at unmap; an unmap the GL
// refuses is recorded with the GL's own result.
TEST_F(RecorderFaults, MappedBytesReachTheCaptureThroughEveryTarget) {
    const SectionCapture& c = Run("buffers");
    ASSERT_TRUE(ranWhole_);
    const Report& r = c.report;
    const std::uint32_t targets[] = {0x8C2A, 0x8F36, 0x8F37, 0x90D2, 0x8C8E, 0x92C0, 0x9192, 0x90EE};
    Records unmaps;
    for (const CallRecord& record : c.segments[kMapThroughEveryTarget])
        if (record.id == api::glUnmapBufferARB) unmaps.push_back(record);
    ASSERT_EQ(unmaps.size(), 8u) << Describe(c.segments[kMapThroughEveryTarget]);
    for (std::size_t t = 0; t < 8; ++t) {
        SCOPED_TRACE(targets[t]);
        Bytes expected;
        expected.u32(targets[t]).u8(1);
        for (int i = 0; i < 32; ++i) expected.u8(static_cast<std::uint8_t>(t * 32 + i));
        EXPECT_EQ(unmaps[t], Rec(api::glUnmapBufferARB, expected)) << Describe(unmaps[t]);
    }
    EXPECT_EQ(r.U32(Scope(kMapThroughEveryTarget), "error"), 0u);

    Bytes named;
    named.u32(r.U32(Scope(kNamedMapOfAnUnboundBuffer), "buffer")).u8(1);
    for (int i = 0; i < 32; ++i) named.u8(static_cast<std::uint8_t>(0xC0 + i));
    const Records& namedRecords = c.segments[kNamedMapOfAnUnboundBuffer];
    ASSERT_EQ(namedRecords.size(), 2u) << Describe(namedRecords);
    EXPECT_EQ(namedRecords[1], Rec(api::glUnmapNamedBuffer, named)) << Describe(namedRecords[1]);

    EXPECT_EQ(r.U32(Scope(kUnmapOfAnUnmappedBuffer), "result"), 0u);
    EXPECT_EQ(r.U32(Scope(kUnmapOfAnUnmappedBuffer), "error"), 0x0502u) << "the program sees the GL's error";
    ExpectSegment(c, kUnmapOfAnUnmappedBuffer, {Rec(api::glUnmapBufferARB, Bytes().u32(0x8892).u8(0))});

    // A large unmap carries all its bytes, and the recorder keeps no copy of them afterwards.
    const Records& large = c.segments[kLargeUnmap];
    ASSERT_EQ(large.size(), 1u);
    ASSERT_EQ(large[0].payload.size(), 5u + (32u << 20));
    bool asWritten = large[0].payload[4] == 1;
    for (std::uint32_t i = 0; asWritten && i < (32u << 20); ++i)
        asWritten = large[0].payload[5 + i] == static_cast<std::uint8_t>(i * 7);
    EXPECT_TRUE(asWritten) << "the large unmap's bytes";
    const std::uint32_t before = r.U32(Scope(kLargeUnmap), "before"), after = r.U32(Scope(kLargeUnmap), "after");
    ASSERT_GT(before, 0u) << "the system gave no memory counters";
    EXPECT_LT(after, before + (8u << 20)) << "private bytes before " << before << ", after " << after;
}

// Packed types and two-component integer formats carry exactly what the GL reads, proxies nothing,
// and a last row's padding past readable memory is recorded as zeros instead of read.
TEST_F(RecorderFaults, UploadsCarryWhatTheGLReads) {
    const SectionCapture& c = Run("uploads");
    ASSERT_TRUE(ranWhole_);
    const Report& r = c.report;
    const std::vector<std::uint8_t> data = r.Bytes("all", "data");
    ASSERT_EQ(data.size(), 64u);
    const std::vector<std::uint8_t> edge = r.Bytes(Scope(kPaddingAtEndOfMemory), "bytes");
    std::vector<std::uint8_t> padded = edge;
    padded.resize(36, 0);
    const struct {
        Case which;
        std::uint32_t apiId;
        std::size_t fixed;
        std::vector<std::uint8_t> block;
    } cases[] = {
        {kDepthStencil24_8, api::glTexImage2D, 32 + kPointerBytes, {data.begin(), data.begin() + 16}},
        {kDepthFloatStencil, api::glTexImage2D, 32 + kPointerBytes, {data.begin(), data.begin() + 32}},
        {kPackedFloat, api::glTexImage2D, 32 + kPointerBytes, {data.begin(), data.begin() + 16}},
        {kSharedExponent, api::glTexImage2D, 32 + kPointerBytes, {data.begin(), data.begin() + 16}},
        {kRgInteger, api::glTexImage2D, 32 + kPointerBytes, {data.begin(), data.begin() + 16}},
        {kCubeMapProxy, api::glTexImage2D, 32 + kPointerBytes, {}},
        {kArrayProxy, api::glTexImage3DEXT, 36 + kPointerBytes, {}},
        {kPaddingAtEndOfMemory, api::glTexImage2D, 32 + kPointerBytes, padded},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.which);
        const Records& records = c.segments[row.which];
        ASSERT_EQ(records.size(), 1u) << Describe(records);
        EXPECT_EQ(records[0].id, row.apiId);
        ASSERT_EQ(records[0].payload.size(), row.fixed + row.block.size()) << Describe(records);
        EXPECT_TRUE(std::equal(row.block.begin(), row.block.end(), records[0].payload.begin() + row.fixed))
            << Describe(records);
        EXPECT_EQ(r.U32(Scope(row.which), "errorAfter"), 0u);
    }
    EXPECT_EQ(r.U32(Scope(kPaddingAtEndOfMemory), "survived"), 1u);
}

// A debug message given with a length is that many characters with a NUL added, even where the text
// ends at the end of readable memory; the swap interval reaches the system's function.
TEST_F(RecorderFaults, MessagesAreTheirLengthAndTheSwapIntervalIsForwarded) {
    const SectionCapture& c = Run("overrides");
    ASSERT_TRUE(ranWhole_);
    const Report& r = c.report;
    auto message = [&](Case which, std::uint32_t id, std::int32_t length, const char* text) {
        return Rec(api::glDebugMessageInsertARB, Bytes().u32(0x824A).u32(0x8268).u32(id).u32(0x826B).i32(length)
                                                     .addr(r.Address(Scope(which), "text")).str(text));
    };
    ExpectSegment(c, kMessageWithLength, {message(kMessageWithLength, 7, 5, "Hello")});
    ExpectSegment(c, kMessageAtEndOfMemory, {message(kMessageAtEndOfMemory, 8, 3, "abc")});
    EXPECT_EQ(r.U32(Scope(kMessageAtEndOfMemory), "survived"), 1u);
    EXPECT_EQ(r.U32(Scope(kMessageWithLength), "error"), 0u);

    ASSERT_EQ(r.U32(Scope(kSwapInterval), "available"), 1u) << "the system offers no swap interval";
    const std::uint32_t result = r.U32(Scope(kSwapInterval), "result");
    EXPECT_EQ(result, 1u) << "the request reached the system's function";
    EXPECT_EQ(r.U32(Scope(kSwapInterval), "interval"), 1u);
    ExpectSegment(c, kSwapInterval, {Rec(api::wglSwapIntervalEXT, Bytes().i32(1).u32(result))});

    // A count whose bytes wrap 32 bits is an impossible block: the fixed part alone.
    ExpectSegment(c, kWrappingIdCount,
                  {Rec(api::glDebugMessageControlARB, Bytes().u32(0x1100).u32(0x1100).u32(0x1100).i32(0x40000001)
                                                          .addr(r.Address(Scope(kWrappingIdCount), "ids")).u32(1))});
    EXPECT_EQ(r.U32(Scope(kWrappingIdCount), "error"), 0x0502u);
    ExpectSegment(c, kWrappingDrawBufferCount,
                  {Rec(api::glNamedFramebufferDrawBuffers,
                       Bytes().u32(0).i32(0x40000001).addr(r.Address(Scope(kWrappingDrawBufferCount), "buffers")))});
    EXPECT_EQ(r.U32(Scope(kWrappingDrawBufferCount), "error"), 0x0501u);
}

// Images after draws leave the program's pack state, bindings, read buffers and errors as they were,
// and are not taken where a read-back is not allowed.
TEST_F(RecorderFaults, FrameReadBackLeavesTheApplicationsStateAndErrors) {
    const SectionCapture& c = Run("images");
    ASSERT_TRUE(ranWhole_);
    const Report& r = c.report;
    // Images after draws are taken in the first frame; the last one taken stays as frame 1's.
    EXPECT_TRUE(c.ImageOfFrame(1)) << "no image was taken after any draw";
    const struct {
        Case which;
        std::uint32_t error;  // the program's own, still there after the read-back
    } cases[] = {
        {kReadBackKeepsState, 0x0500},
        {kInsideBeginEnd, 0x0502},
        {kCompilingList, 0},
        {kCoreProfile, 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.which);
        EXPECT_EQ(r.U32(Scope(row.which), "error"), row.error);
        EXPECT_EQ(r.U32(Scope(row.which), "errorAfter"), 0u);
    }
    EXPECT_EQ(r.Bytes(Scope(kReadBackKeepsState), "before"), r.Bytes(Scope(kReadBackKeepsState), "after"))
        << "pack state, pack buffer, framebuffers, read buffer and list as the program set them";
    EXPECT_EQ(r.U32(Scope(kReadBackKeepsState), "windowReadBuffer"), 0x0404u) << "the window's read buffer";
    EXPECT_EQ(r.U32(Scope(kCompilingList), "readBufferAfterCall"), 0x0405u) << "the list holds no read-back";
    EXPECT_EQ(r.U32(Scope(kCoreProfile), "setUpError"), 0u);
}

// On a context without pixel buffer objects an upload asks the GL nothing it does not know: the
// program's error queue stays its own, and the pixels are recorded. (Run with the GL's pixel buffer
// objects hidden: see CMakeLists.txt.)
TEST_F(RecorderFaults, UploadsAskNothingTheContextLacks) {
    const SectionCapture& c = Run("legacy");
    ASSERT_TRUE(ranWhole_);
    const Report& r = c.report;
    ASSERT_EQ(r.U32("all", "pixelBuffers"), 0u) << "the GL still has pixel buffers: " << r.Text("all", "version");
    const std::uint8_t block[8] = {0x1F, 0xF8, 0xE0, 0x07, 0x1B, 0x6C, 0xB1, 0xC6};
    ExpectSegment(c, kCompressedWithoutPixelBuffers,
                  {Rec(api::glCompressedTexImage2DARB,
                       Bytes().u32(0x0DE1).i32(0).u32(0x83F0).i32(4).i32(4).i32(0).i32(8)
                           .addr(r.Address(Scope(kCompressedWithoutPixelBuffers), "data")).values(block))});
    EXPECT_EQ(r.U32(Scope(kCompressedWithoutPixelBuffers), "errorBefore"), 0u);
    EXPECT_EQ(r.U32(Scope(kCompressedWithoutPixelBuffers), "error"), 0u) << "an error the program did not make";
    if (r.U32(Scope(kTextureObjectWithoutPixelBuffers), "available") == 0) return;
    const std::uint8_t pixels[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    ExpectSegment(c, kTextureObjectWithoutPixelBuffers,
                  {Rec(api::glTextureImage2DEXT, Bytes().u32(r.U32(Scope(kTextureObjectWithoutPixelBuffers), "texture"))
                                                     .u32(0x0DE1).i32(0).i32(0x8058).i32(2).i32(2).i32(0).u32(0x1908)
                                                     .u32(0x1401).addr(r.Address(Scope(kTextureObjectWithoutPixelBuffers),
                                                                            "pixels"))
                                                     .values(pixels))});
    EXPECT_EQ(r.U32(Scope(kTextureObjectWithoutPixelBuffers), "error"), 0u) << "an error the program did not make";
}

}  // namespace
