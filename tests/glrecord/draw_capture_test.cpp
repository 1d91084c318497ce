// Contexts, drawables, client arrays and draws against a real GL under capture: draw_app runs once
// with the recorder as its opengl32.dll, and every case's records are checked to the byte, between
// the glPassThrough markers that open and close it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "gen/ApiTable.h"
#include "stream/DrawablePayload.h"
#include "stream/StreamRecordId.h"
#include "tests/glrecord/DrawCases.h"
#include "tests/glrecord/support/Bytes.h"
#include "tests/glrecord/support/CallRecords.h"
#include "tests/glrecord/support/CallShapes.h"
#include "tests/glrecord/support/Report.h"
#include "tests/support/TestController.h"

namespace {

namespace api = kestrel::api;
using namespace drawcases;
using Records = std::vector<CallRecord>;

struct DrawCapture {
    TestController::Run run;
    Report report;
    std::vector<kestrel::CaptureRecord> records;
    bool complete = false;
    std::vector<Records> segments = std::vector<Records>(kCaseCount);
    std::map<std::uint32_t, std::uint32_t> extents;  // as published at the finish
};

// The extent record in the statistics data block: id 107, size, time, count, then address and extent pairs.
std::map<std::uint32_t, std::uint32_t> PublishedExtents(kestrel::StatsChannel& stats) {
    std::map<std::uint32_t, std::uint32_t> extents;
    const std::uint8_t* data = stats.data();
    if (!data || !stats.header() || stats.header()->dataUsed < 20) return extents;
    std::uint32_t words[5];
    std::memcpy(words, data, sizeof words);
    if (words[0] != 107) return extents;
    for (std::uint32_t i = 0; i < words[4] && 20 + 8 * (i + 1) <= stats.header()->dataUsed; ++i) {
        std::uint32_t pair[2];
        std::memcpy(pair, data + 20 + 8 * i, sizeof pair);
        extents[pair[0]] = pair[1];
    }
    return extents;
}

// Every record between a case's opening marker and the next marker, thread switches left out.
void Split(DrawCapture& capture) {
    Records* current = nullptr;
    for (const kestrel::CaptureRecord& r : capture.records) {
        if (r.id == api::glPassThrough && r.payload.size() == 4) {
            float token = -1;
            std::memcpy(&token, r.payload.data(), 4);
            const int index = static_cast<int>(token);
            current = token >= 0 && index < kCaseCount && static_cast<float>(index) == token ? &capture.segments[index]
                                                                                             : nullptr;
            continue;
        }
        if (r.id == kestrel::kThreadSwitchRecord || !current) continue;
        current->push_back({r.id, r.payload});
    }
}

const DrawCapture& Capture() {
    static const DrawCapture capture = [] {
        DrawCapture c;
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        const std::string reportPath = std::string(temp) + "kestrel-draw-" + std::to_string(GetCurrentProcessId());
        TestController controller;
        c.run = controller.RunApp(KESTREL_DRAW_APP, {reportPath}, true, 120000);
        c.report.Load(reportPath);
        DeleteFileA(reportPath.c_str());
        c.records = controller.Records(&c.complete);
        c.extents = PublishedExtents(controller.server().stats());
        Split(c);
        return c;
    }();
    return capture;
}

CallRecord Rec(std::uint32_t id, const Bytes& payload) { return {id, payload.data()}; }

// The bytes of a float array from a byte offset on.
std::vector<std::uint8_t> Slice(const std::vector<float>& values, std::size_t offset, std::size_t length) {
    std::vector<std::uint8_t> bytes(values.size() * sizeof(float));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                                     bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

CallRecord Dump(std::uint64_t address, std::uint32_t offset, const std::vector<std::uint8_t>& bytes,
                std::uint32_t flags = 0) {
    Bytes payload;
    payload.addr(address).u32(offset).u32(flags).raw(bytes.data(), bytes.size());
    return {kestrel::kClientMemoryBlockRecord, payload.data()};
}

// The drawable record of a window as draw_app reported it.
CallRecord WindowDrawable(const Report& r, const char* scope, std::uint32_t kindFlags, std::uint32_t changeFlags) {
    Bytes payload;
    payload.addr(r.Address(scope, "window")).addr(r.Address(scope, "dc"));
    const std::vector<std::uint8_t> rect = r.Bytes(scope, "rect"), font = r.Bytes(scope, "font");
    payload.raw(rect.data(), rect.size()).u32(kindFlags).raw(font.data(), font.size()).u32(changeFlags);
    return {kestrel::kDrawableRecord, payload.data()};
}

std::uint32_t AliasNumber(const char* name) {
    const CallShape* shape = FindShape(name);
    return shape ? static_cast<std::uint32_t>(shape->aliasNumber) : 0xFFFFFFFFu;
}

CallRecord Marker(std::uint32_t targetId, const char* alias) {
    return {kestrel::kAliasMarkerRecord, Bytes().u32(targetId).u32(AliasNumber(alias)).data()};
}

class DrawCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        const DrawCapture& c = Capture();
        ASSERT_TRUE(c.run.started) << c.run.error;
        ASSERT_FALSE(c.run.timedOut);
        ASSERT_EQ(c.run.exitCode, 0u) << c.report.Text("all", "failed");
        ASSERT_EQ(c.report.Text("all", "done"), "yes") << c.report.Text("all", "failed");
    }
    const Report& report() const { return Capture().report; }
    const Records& Segment(Case c) const { return Capture().segments[c]; }
    void Expect(Case c, const Records& expected) const {
        EXPECT_EQ(Segment(c), expected) << "case " << c << "\n  recorded:" << Describe(Segment(c))
                                        << "\n  expected:" << Describe(expected);
    }
};

TEST_F(DrawCaptureTest, CaptureIsCompleteAndEveryCaseWasRecorded) {
    EXPECT_TRUE(Capture().complete) << "every declared size must match the bytes written";
    for (int c = 0; c < kCaseCount; ++c) EXPECT_FALSE(Segment(static_cast<Case>(c)).empty()) << "case " << c;
}

TEST_F(DrawCaptureTest, WindowIsDescribedAtItsFirstWglCallAndAgainOnlyWhenItMoves) {
    const Report& r = report();
    const std::vector<std::uint8_t> pfd = r.Bytes("first", "pfd");
    // New: its rectangle and font differ from the empty ones a new description starts from.
    Expect(kFirstWglCall, {WindowDrawable(r, "first", 0, 1 | 2 | 8),
                           Rec(api::wglChoosePixelFormat, Bytes().addr(r.Address("first", "dc")).raw(pfd.data(), pfd.size())
                                                              .u32(r.U32("first", "format")))});
    // The format set, as the system describes it, goes ahead of the call that keeps the descriptor
    // the program handed over.
    const std::vector<std::uint8_t> described = r.Bytes("first", "described");
    Expect(kSecondWglCall,
           {Rec(kestrel::kPixelFormatRecord, Bytes().addr(r.Address("first", "dc")).u32(r.U32("first", "format"))
                                                 .raw(described.data(), described.size())),
            Rec(api::wglSetPixelFormat, Bytes().addr(r.Address("first", "dc")).u32(r.U32("first", "format"))
                                            .raw(pfd.data(), pfd.size()).u32(1))});
    Expect(kViewportAfterMove, {WindowDrawable(r, "moved", 0, 2),
                                Rec(api::glViewport, Bytes().i32(0).i32(0).i32(160).i32(160))});
    EXPECT_NE(r.Text("first", "rect"), r.Text("moved", "rect")) << "the window did not move";
}

TEST_F(DrawCaptureTest, FullScreenWindowKeepsItsClientRectangle) {
    const Report& r = report();
    Expect(kFullScreen, {WindowDrawable(r, "full", 1, 1 | 4 | 8),
                         Rec(api::wglGetPixelFormat, Bytes().addr(r.Address("full", "dc")).u32(0))});
}

TEST_F(DrawCaptureTest, ContextsAreRecordedWithTheirGeometryAndAttributeLists) {
    const Report& r = report();
    const std::uint64_t dc = r.Address("first", "dc"), rc = r.Address("create", "rc");
    const std::vector<std::uint8_t> rect = r.Bytes("create", "rect");
    Expect(kCreateContext, {Rec(api::wglCreateContext, Bytes().addr(dc).addr(rc).raw(rect.data(), rect.size()).u32(0))});
    Expect(kMakeCurrent, {Rec(api::wglMakeCurrent, Bytes().addr(dc).addr(rc).u32(1))});
    // Two attribute pairs and the terminating zero: 20 bytes after the fixed part.
    const std::int32_t attributes[] = {0x2091, 3, 0x2092, 0, 0};
    Expect(kAttributeList, {Rec(api::wglCreateContextAttribsARB, Bytes()
                                                                     .addr(dc)
                                                                     .addr(0)
                                                                     .addr(r.Address("attributes", "list"))
                                                                     .u32(20)
                                                                     .addr(r.Address("attributes", "withList"))
                                                                     .raw(rect.data(), rect.size())
                                                                     .u32(0)
                                                                     .values(attributes))});
    Expect(kNoAttributeList, {Rec(api::wglCreateContextAttribsARB, Bytes()
                                                                       .addr(dc)
                                                                       .addr(0)
                                                                       .addr(0)
                                                                       .u32(0)
                                                                       .addr(r.Address("attributes", "withoutList"))
                                                                       .raw(rect.data(), rect.size())
                                                                       .u32(0))});
    Expect(kReleased, {Rec(api::wglMakeCurrent, Bytes().addr(0).addr(0).u32(1))});
    // The thread has no context now: the draw reaches no client memory of the window's context.
    Expect(kDrawWithoutContext, {Rec(api::glDrawArrays, Bytes().u32(0).i32(0).i32(4))});
}

TEST_F(DrawCaptureTest, MemoryBitmapIsCapturedWithItsPixelsAndItsFormatIsShown) {
    const Report& r = report();
    const std::uint64_t dc = r.Address("bitmap", "dc");
    const std::uint32_t width = r.U32("bitmap", "width"), height = r.U32("bitmap", "height");
    const std::vector<std::uint8_t> pixels = r.Bytes("bitmap", "pixels");
    // The device context is described once, at the first wgl call that named it, pixels included.
    std::vector<const kestrel::CaptureRecord*> drawables;
    for (const kestrel::CaptureRecord& record : Capture().records) {
        std::uint64_t recordDc = 0;
        if (record.id == kestrel::kDrawableRecord && record.payload.size() >= 2 * kPointerBytes)
            std::memcpy(&recordDc, record.payload.data() + kPointerBytes, kPointerBytes);
        if (recordDc == dc) drawables.push_back(&record);
    }
    ASSERT_EQ(drawables.size(), 1u);
    const std::vector<std::uint8_t>& payload = drawables[0]->payload;
    ASSERT_EQ(payload.size(), sizeof(kestrel::DrawableRecord) + sizeof(DIBSECTION) + pixels.size());
    kestrel::DrawableRecord head{};
    std::memcpy(&head, payload.data(), sizeof head);
    EXPECT_EQ(head.window, kestrel::kNoWindow);
    EXPECT_EQ(head.kindFlags, 2u | 4u) << "no window, bitmap captured";
    EXPECT_EQ(head.changeFlags, 1u | 2u | 8u) << "new, with a size and a font";
    const std::int32_t rect[4] = {0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
    EXPECT_EQ(std::memcmp(head.rect, rect, sizeof rect), 0);
    DIBSECTION section{};
    std::memcpy(&section, payload.data() + sizeof head, sizeof section);
    EXPECT_EQ(section.dsBm.bmWidth, static_cast<LONG>(width));
    EXPECT_EQ(section.dsBm.bmHeight, static_cast<LONG>(height));
    EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(section.dsBmih.biWidth, static_cast<LONG>(width));
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), payload.begin() + sizeof head + sizeof section)) << "the bitmap's own pixels";

    // In the creation call: the format of the windowless surface, then the context with kind 2.
    Records creation;
    for (const CallRecord& record : Segment(kBitmapContext))
        if (record.id != kestrel::kDrawableRecord) creation.push_back(record);
    const std::vector<std::uint8_t> pfd = r.Bytes("bitmap", "pfd");
    const Records expected = {
        Rec(api::wglSetPixelFormat, Bytes().addr(dc).u32(r.U32("bitmap", "format")).raw(pfd.data(), pfd.size()).u32(1)),
        Rec(api::wglCreateContext, Bytes().addr(dc).addr(r.Address("bitmap", "rc")).values(rect).u32(2))};
    EXPECT_EQ(creation, expected) << Describe(creation) << "\n  expected:" << Describe(expected);
}

TEST_F(DrawCaptureTest, DrawsDumpExactlyTheClientVerticesTheyReach) {
    const Report& r = report();
    const std::vector<float> points = PointsVertices(), spaced = SpacedVertices(), interleaved = InterleavedT2fV3f();
    const std::uint64_t pointsAt = r.Address("arrays", "points"), spacedAt = r.Address("arrays", "spaced"),
                        interleavedAt = r.Address("arrays", "interleaved"), indices = r.Address("indices", "client");
    const CallRecord draw4 = Rec(api::glDrawArrays, Bytes().u32(0).i32(0).i32(4));
    // 3 floats, stride 0: element size and stride 12, four vertices are 48 bytes from 0.
    Expect(kTightVertices, {Dump(pointsAt, 0, Slice(points, 0, 48)), draw4});
    // Stride 16 around 12-byte vertices, first 10, count 5: 76 bytes from 160.
    Expect(kStridedVertices, {Dump(spacedAt, 160, Slice(spaced, 160, 76)),
                              Rec(api::glDrawArrays, Bytes().u32(0).i32(10).i32(5))});
    // The interleaved array once, neither the vertex nor unit 0's texture array on their own...
    Expect(kInterleaved, {Dump(interleavedAt, 0, Slice(interleaved, 0, 80)), draw4});
    // ...until a vertex pointer of its own takes the vertex array back.
    Expect(kInterleavedThenVertex,
           {Dump(interleavedAt, 0, Slice(interleaved, 0, 80)), Dump(pointsAt, 0, Slice(points, 0, 48)), draw4});
    // A pointer set while an array buffer was bound is an offset into it: never dumped.
    Expect(kVerticesInBuffer, {draw4});
    // Binding a vertex array object leaves the context's array buffer bound, or unbound: the pointer
    // set after it is an offset, or an address whose vertices are dumped.
    Expect(kBufferThenNewVertexArray, {draw4});
    Expect(kVertexArrayThenClientArray, {Dump(pointsAt, 0, Slice(points, 0, 48)), draw4});
    // Indices {7, 3, 9} reach vertices 3 to 9; the record carries the 6 index bytes.
    const std::uint16_t clientIndices[] = {7, 3, 9};
    Expect(kClientIndices, {Dump(pointsAt, 36, Slice(points, 36, 84)),
                            Rec(api::glDrawElements, Bytes().u32(0).i32(3).u32(0x1403).addr(indices).values(clientIndices))});
    // Indices in an element buffer are read back from it; the record carries the offset again.
    Expect(kBufferIndices, {Dump(pointsAt, 36, Slice(points, 36, 84)),
                            Rec(api::glDrawElements, Bytes().u32(0).i32(3).u32(0x1403).addr(0).addr(0))});
}

// Every client array set from client memory, with the furthest byte any draw read from it.
TEST_F(DrawCaptureTest, ExtentTableIsPublishedWithTheFurthestBytesRead) {
    const Report& r = report();
    // The published keys are u32 at either width: an address's low half.
    const auto key = [&](const char* scope, const char* name) { return static_cast<std::uint32_t>(r.Address(scope, name)); };
    const std::map<std::uint32_t, std::uint32_t> expected = {
        {key("arrays", "points"), 60 * 12 + 5 * 12},  // the indirect draw reached vertex 64
        {key("arrays", "spaced"), 160 + 76},
        {key("arrays", "interleaved"), 80},
        {key("unreadable", "index"), 16},
    };
    EXPECT_EQ(Capture().extents, expected);
}

TEST_F(DrawCaptureTest, UnreadableClientMemoryGivesItsReadablePrefixAndZeros) {
    const Report& r = report();
    EXPECT_EQ(r.U32("unreadable", "survived"), 1u) << "the draw went ahead and the program ran on";
    const float readable[2] = {1.25f, 2.5f};
    std::vector<std::uint8_t> index(16, 0);
    std::memcpy(index.data(), readable, sizeof readable);
    Expect(kUnreadable, {Dump(r.Address("unreadable", "index"), 0, index),
                         Dump(r.Address("arrays", "points"), 0, Slice(PointsVertices(), 0, 48)),
                         Rec(api::glDrawArrays, Bytes().u32(0).i32(0).i32(4))});
}

// Vertex i lights pixel column i: the range the recorder dumped must be the range the GL drew.
TEST_F(DrawCaptureTest, IndexedAndIndirectRangesAreTheVerticesTheGLDraws) {
    const Report& r = report();
    const std::uint64_t pointsAt = r.Address("arrays", "points");
    struct Row {
        Case c;
        const char* scope;
        std::uint32_t first, last;  // what the GL is expected to draw
    } rows[] = {
        {kReadBackIndices, "readback", 12, 40},
        {kReadBackRestart, "restart", 20, 50},
        {kIndirectFromBuffer, "indirect", 60, 64},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scope);
        ASSERT_EQ(r.U32(row.scope, "error"), 0u) << "the GL refused the draw";
        ASSERT_TRUE(r.Has(row.scope, "drawnFirst")) << "the GL drew nothing";
        EXPECT_EQ(r.U32(row.scope, "drawnFirst"), row.first);
        EXPECT_EQ(r.U32(row.scope, "drawnLast"), row.last);
        const Records& records = Segment(row.c);
        ASSERT_EQ(records.size(), 2u) << Describe(records);
        const CallRecord& dump = records[0];
        ASSERT_EQ(dump.id, kestrel::kClientMemoryBlockRecord) << Describe(records);
        std::uint64_t address = 0;
        std::uint32_t offset = 0;
        std::memcpy(&address, dump.payload.data(), kPointerBytes);
        std::memcpy(&offset, dump.payload.data() + kPointerBytes, 4);
        const std::size_t length = dump.payload.size() - (kPointerBytes + 8);
        EXPECT_EQ(address, pointsAt);
        EXPECT_EQ(offset, row.first * 12) << "the first vertex dumped";
        EXPECT_EQ(length, (row.last - row.first) * 12 + 12) << "the vertices dumped";
        EXPECT_EQ(dump, Dump(pointsAt, offset, Slice(PointsVertices(), offset, length)));
    }
    // The command came from the buffer, so the indirect draw's record is its 8-byte fixed part.
    const Records& indirect = Segment(kIndirectFromBuffer);
    ASSERT_EQ(indirect.size(), 2u);
    EXPECT_EQ(indirect[1], Rec(api::glDrawArraysIndirect, Bytes().u32(0).addr(0)));
}

TEST_F(DrawCaptureTest, MultiDrawDumpsEachRangeAndARefusedOneRecordsNoDraw) {
    const Report& r = report();
    const std::vector<float> points = PointsVertices();
    const std::uint64_t pointsAt = r.Address("arrays", "points"), firsts = r.Address("multi", "firsts"),
                        counts = r.Address("multi", "counts");
    const std::int32_t firstValues[] = {0, 4}, countValues[] = {2, 2};
    EXPECT_EQ(r.U32("multi", "error"), 0u);
    Expect(kMultiDraw, {Dump(pointsAt, 0, Slice(points, 0, 24)), Dump(pointsAt, 48, Slice(points, 48, 24)),
                        Marker(api::glMultiDrawArraysEXT, "glMultiDrawArrays"),
                        Rec(api::glMultiDrawArraysEXT, Bytes().u32(0).addr(firsts).addr(counts).i32(2)
                                                           .values(firstValues).values(countValues))});
    EXPECT_EQ(r.U32("refused", "error"), 0x0501u) << "the program still sees the GL's error";
    Expect(kRefusedMultiDraw, {Marker(api::glMultiDrawArraysEXT, "glMultiDrawArrays"),
                               Rec(api::glMultiDrawArraysEXT, Bytes().u32(0).addr(firsts).addr(counts).i32(0))});
}

}  // namespace
