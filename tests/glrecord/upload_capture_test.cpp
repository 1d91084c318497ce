// Buffer data, mapped writes and pixel uploads of a program with a real context, captured with the
// recorder in place of its opengl32.dll: every record checked to the byte, and the recorded pixels
// and mapped bytes rebuilt and set against what the GL itself took.
#include <gtest/gtest.h>

#include <windows.h>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "gen/ApiTable.h"
#include "stream/StreamRecordId.h"
#include "tests/glrecord/UploadCases.h"
#include "tests/glrecord/support/Bytes.h"
#include "tests/glrecord/support/CallRecords.h"
#include "tests/glrecord/support/Report.h"
#include "tests/support/TestController.h"

namespace api = kestrel::api;

namespace {

using Segment = std::vector<CallRecord>;

struct Capture {
    TestController::Run run;
    bool complete = false;
    Report report;
    std::vector<Segment> cases;
    bool ended = false;
};

// The records between the separators, by case; alias markers left out (an alias's own tests cover
// them), client memory block records kept.
const Capture& UploadCapture() {
    static const Capture capture = [] {
        Capture c;
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        const std::string reportPath =
            std::string(temp) + "kestrel-" + std::to_string(GetCurrentProcessId()) + "-upload.report";
        TestController controller;
        c.run = controller.RunApp(TestController::FixturePath("upload_app.exe"), {reportPath});
        c.report.Load(reportPath);
        DeleteFileA(reportPath.c_str());
        c.cases.resize(kUploadCaseCount);
        Segment* current = nullptr;
        for (const kestrel::CaptureRecord& r : controller.Records(&c.complete)) {
            if (r.id == api::glPassThrough) {
                float token = -2.0f;
                if (r.payload.size() == 4) std::memcpy(&token, r.payload.data(), 4);
                c.ended = token == -1.0f;
                const int n = static_cast<int>(token);
                current = token >= 0 && n < kUploadCaseCount && static_cast<float>(n) == token ? &c.cases[n] : nullptr;
            } else if (current && (r.id >= 0x40000000u || r.id == kestrel::kClientMemoryBlockRecord)) {
                current->push_back({r.id, r.payload});
            }
        }
        return c;
    }();
    return capture;
}

std::string ScopeOf(int c) { return "case" + std::to_string(c); }

// The n-th record of an id in a case; an empty payload with id 0 when there is none.
CallRecord Nth(const Segment& segment, std::uint32_t id, int n = 0) {
    for (const CallRecord& r : segment)
        if (r.id == id && n-- == 0) return r;
    return {0, {}};
}

CallRecord Rec(std::uint32_t id, const Bytes& payload) { return {id, payload.data()}; }

Bytes Pattern(Bytes b, std::uint32_t count, std::uint32_t first = 0) {
    for (std::uint32_t i = 0; i < count; ++i) b.u8(PatternByte(first + i));
    return b;
}

std::vector<std::uint8_t> Block(const CallRecord& record, std::size_t fixed) {
    if (record.payload.size() < fixed) return {};
    return {record.payload.begin() + static_cast<std::ptrdiff_t>(fixed), record.payload.end()};
}

class Uploads : public ::testing::Test {
protected:
    void SetUp() override {
        const Capture& c = UploadCapture();
        ASSERT_TRUE(c.run.started) << c.run.error;
        ASSERT_FALSE(c.run.timedOut);
        ASSERT_EQ(c.run.exitCode, 0u) << "the program failed or crashed under capture";
        ASSERT_TRUE(c.complete) << "every declared size must match the bytes written";
        ASSERT_TRUE(c.ended) << "the capture lacks the last separator";
        ASSERT_EQ(c.report.U32("all", "cases"), static_cast<std::uint32_t>(kUploadCaseCount));
    }
    const Segment& Case(int c) const { return UploadCapture().cases[c]; }
    std::uint32_t Reported(int c, const char* key) const { return UploadCapture().report.U32(ScopeOf(c), key); }
    std::uint64_t ReportedAddress(int c, const char* key) const { return UploadCapture().report.Address(ScopeOf(c), key); }
    std::string Text(int c, const char* key) const { return UploadCapture().report.Text(ScopeOf(c), key); }
    std::vector<std::uint8_t> ReportedBytes(int c, const char* key) const {
        return UploadCapture().report.Bytes(ScopeOf(c), key);
    }
};

}  // namespace

TEST_F(Uploads, BufferDataCarriesItsBytesAndNothingWithoutThem) {
    EXPECT_EQ(Nth(Case(kBufferDataWithoutData), api::glBufferDataARB),
              Rec(api::glBufferDataARB, Bytes().u32(0x8892).sizeiptr(64).addr(0).u32(0x88E4)))
        << Describe(Case(kBufferDataWithoutData));
    EXPECT_EQ(Nth(Case(kBufferDataWithData), api::glBufferDataARB),
              Rec(api::glBufferDataARB,
                  Pattern(Bytes().u32(0x8892).sizeiptr(64).addr(ReportedAddress(kBufferDataWithData, "data")).u32(0x88E4), 64)));
    EXPECT_EQ(Nth(Case(kNegativeSubDataSize), api::glBufferSubDataARB),
              Rec(api::glBufferSubDataARB,
                  Bytes().u32(0x8892).sizeiptr(0).sizeiptr(-1).addr(ReportedAddress(kNegativeSubDataSize, "data"))))
        << "a negative size reads nothing";
    EXPECT_EQ(Reported(kNegativeSubDataSize, "error"), 0x0501u) << "the GL refused it";
}

TEST_F(Uploads, AnUnmapRecordsWhatTheApplicationWroteIntoTheMappedRange) {
    const Segment& s = Case(kMappedRangeWrite);
    const std::uint64_t mapped = ReportedAddress(kMappedRangeWrite, "mapped");
    ASSERT_NE(mapped, 0u) << "the GL mapped nothing";
    EXPECT_EQ(Nth(s, api::glMapBufferRange),
              Rec(api::glMapBufferRange, Bytes().u32(0x8892).sizeiptr(256).sizeiptr(64).u32(0x0002).addr(mapped)));
    const CallRecord unmap = Nth(s, api::glUnmapBufferARB);
    EXPECT_EQ(unmap, Rec(api::glUnmapBufferARB, Pattern(Bytes().u32(0x8892).u8(1), kMapLength, 500)))
        << Describe(unmap);
    EXPECT_EQ(Reported(kMappedRangeWrite, "unmapped"), 1u);
    // The bytes recorded are those the buffer holds after the unmap.
    EXPECT_EQ(Block(unmap, 5), ReportedBytes(kMappedRangeWrite, "readBack"));
}

TEST_F(Uploads, ReadOnlyAndSpentMappingsRecordNoBytes) {
    const std::uint64_t mapped = ReportedAddress(kReadOnlyMap, "mapped");
    ASSERT_NE(mapped, 0u);
    EXPECT_EQ(Nth(Case(kReadOnlyMap), api::glMapBufferARB),
              Rec(api::glMapBufferARB, Bytes().u32(0x8892).u32(0x88B8).addr(mapped)));
    EXPECT_EQ(Nth(Case(kReadOnlyMap), api::glUnmapBufferARB), Rec(api::glUnmapBufferARB, Bytes().u32(0x8892).u8(1)));
    // Unmapping again without a map: the old pointer is the GL's no longer, and the record carries
    // the GL's refusal.
    EXPECT_EQ(Nth(Case(kUnmapWithoutMap), api::glUnmapBufferARB),
              Rec(api::glUnmapBufferARB, Bytes().u32(0x8892).u8(0)));
    EXPECT_EQ(Reported(kUnmapWithoutMap, "result"), 0u) << "the GL itself refused the second unmap";
}

TEST_F(Uploads, DeletingTheBoundElementBufferSendsIndicesBackToClientMemory) {
    const Segment& s = Case(kDeletedElementBuffer);
    EXPECT_EQ(Reported(kDeletedElementBuffer, "error"), 0u);
    const std::uint64_t vertices = ReportedAddress(kDeletedElementBuffer, "vertices");
    // Indices {7, 3, 9}: vertices 3 to 9 of three floats each.
    Bytes block = Bytes().addr(vertices).u32(3 * 12).u32(0);
    for (int i = 9; i < 30; ++i) block.f32(static_cast<float>(i) * 0.01f);
    std::vector<std::uint32_t> ids;
    for (const CallRecord& r : s) ids.push_back(r.id);
    const auto draw = std::find(ids.begin(), ids.end(), api::glDrawElements);
    ASSERT_NE(draw, ids.end()) << Describe(s);
    ASSERT_NE(draw, ids.begin());
    EXPECT_EQ(s[static_cast<std::size_t>(draw - ids.begin()) - 1], Rec(kestrel::kClientMemoryBlockRecord, block))
        << "the vertices the indices reach, just before the draw";
    EXPECT_EQ(Nth(s, api::glDrawElements),
              Rec(api::glDrawElements, Bytes().u32(0).i32(3).u32(0x1403).addr(ReportedAddress(kDeletedElementBuffer, "indices"))
                                           .u16(7).u16(3).u16(9)));
}

TEST_F(Uploads, ImagesCarryTheBytesTheirUnpackStateReaches) {
    const struct {
        int id;
        std::uint32_t bytes;
    } images[] = {{kRgbAlignment4, 24}, {kRgbAlignment1, 18}, {kRgbSkipPixel, 3 + 9 + 12}};
    for (const auto& image : images) {
        const Bytes fixed = Bytes().u32(0x0DE1).i32(0).i32(0x8051).i32(3).i32(2).i32(0).u32(0x1907).u32(0x1401)
                                .addr(ReportedAddress(image.id, "pixels"));
        EXPECT_EQ(Nth(Case(image.id), api::glTexImage2D), Rec(api::glTexImage2D, Pattern(fixed, image.bytes)))
            << "case " << image.id;
    }
    Bytes bitmap = Bytes().i32(10).i32(4).f32(0).f32(0).f32(0).f32(0).addr(ReportedAddress(kBitmap, "bitmap"));
    EXPECT_EQ(Nth(Case(kBitmap), api::glBitmap), Rec(api::glBitmap, Pattern(bitmap, 16))) << "4 rows of 10 bits in 4 bytes";

    // Proxies only ask whether an image would fit: the 2D, rectangle and cube map ones.
    const std::uint64_t pixels = ReportedAddress(kProxyTargets, "pixels");
    const struct {
        std::uint32_t target;
        std::int32_t size;
    } proxies[] = {{0x8064, 3}, {0x84F7, 4}, {0x851B, 4}};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Nth(Case(kProxyTargets), api::glTexImage2D, i),
                  Rec(api::glTexImage2D, Bytes().u32(proxies[i].target).i32(0).i32(0x8051).i32(proxies[i].size)
                                             .i32(proxies[i].size == 3 ? 2 : 4).i32(0).u32(0x1907).u32(0x1401)
                                             .addr(pixels)))
            << std::hex << proxies[i].target;
}

TEST_F(Uploads, ABoundPixelBufferTurnsPointersIntoOffsetsThatAreNeverRead) {
    const Segment& s = Case(kUploadFromUnpackBuffer);
    EXPECT_EQ(Reported(kUploadFromUnpackBuffer, "error"), 0u) << "the GL took every upload from the buffer";
    EXPECT_EQ(Nth(s, api::glTexImage2D),
              Rec(api::glTexImage2D, Bytes().u32(0x0DE1).i32(0).i32(0x8051).i32(3).i32(2).i32(0).u32(0x1907)
                                         .u32(0x1401).addr(8)));
    EXPECT_EQ(Nth(s, api::glTexSubImage2D),
              Rec(api::glTexSubImage2D, Bytes().u32(0x0DE1).i32(0).i32(1).i32(0).i32(2).i32(2).u32(0x1907)
                                            .u32(0x1401).addr(12)));
    EXPECT_EQ(Nth(s, api::glBitmap), Rec(api::glBitmap, Bytes().i32(8).i32(2).f32(0).f32(0).f32(0).f32(0).addr(4)));

    // Reading a texture into a pack buffer at an offset: the program runs on.
    EXPECT_EQ(Text(kReadIntoPackBuffer, "ranOn"), "yes");
    EXPECT_EQ(Nth(Case(kReadIntoPackBuffer), api::glGetTextureImage),
              Rec(api::glGetTextureImage, Bytes().u32(Reported(kReadIntoPackBuffer, "texture")).i32(0).u32(0x1908)
                                              .u32(0x1401).i32(64).addr(64)));
    std::vector<std::uint8_t> expected;
    for (std::uint32_t i = 0; i < 64; ++i) expected.push_back(PatternByte(i));
    EXPECT_EQ(ReportedBytes(kReadIntoPackBuffer, "packed"), expected) << "the GL did write the buffer";

    EXPECT_EQ(Text(kPixelMapFromUnpackBuffer, "ranOn"), "yes");
    EXPECT_EQ(Nth(Case(kPixelMapFromUnpackBuffer), api::glPixelMapfv),
              Rec(api::glPixelMapfv, Bytes().u32(0x0C72).i32(4).addr(16)));
}

// The border colour has four components: all of them reach the record.
TEST_F(Uploads, VectorTextureParametersCarryEveryValue) {
    EXPECT_EQ(Nth(Case(kBorderColour), api::glTexParameteriv),
              Rec(api::glTexParameteriv, Bytes().u32(0x0DE1).u32(0x1004).addr(ReportedAddress(kBorderColour, "colour"))
                                             .i32(11).i32(22).i32(33).i32(44)));
}

// Each image rebuilt from the recorded bytes alone, addressed as the GL addresses client memory,
// equals the image the GL returns.
TEST_F(Uploads, RecordedImagesRebuildWhatTheGLHolds) {
    for (int i = 0; i < kRoundTripCount; ++i) {
        const RoundTrip& t = kRoundTrips[i];
        const int c = kFirstRoundTrip + i;
        ASSERT_EQ(Reported(c, "error"), 0u) << "round trip " << i << ": the GL refused the upload";
        const std::vector<std::uint8_t> block = Block(Nth(Case(c), api::glTexImage2D), 32 + kPointerBytes);
        const std::uint32_t a = static_cast<std::uint32_t>(t.alignment);
        const std::uint32_t l = static_cast<std::uint32_t>(t.rowLength > 0 ? t.rowLength : t.width);
        const std::uint32_t rowStride = t.elementSize >= a ? t.bytesPerPixel * l : a * ((t.bytesPerPixel * l + a - 1) / a);
        const std::uint32_t skip = static_cast<std::uint32_t>(t.skipRows) * rowStride +
                                   static_cast<std::uint32_t>(t.skipPixels) * t.bytesPerPixel;
        std::vector<std::uint8_t> image;
        std::size_t needed = 0;
        for (std::int32_t y = 0; y < t.height; ++y)
            for (std::int32_t x = 0; x < t.width; ++x)
                for (std::uint32_t b = 0; b < t.bytesPerPixel; ++b) {
                    const std::size_t at = skip + static_cast<std::uint32_t>(y) * rowStride +
                                           static_cast<std::uint32_t>(x) * t.bytesPerPixel + b;
                    needed = std::max(needed, at + 1);
                    image.push_back(at < block.size() ? block[at] : 0);
                }
        // Whole rows from their first pixel keep the last row's padding, whatever the row length; other
        // images end with their last pixel.
        const bool wholeRows = t.skipPixels == 0;
        EXPECT_EQ(block.size(), wholeRows ? skip + t.height * rowStride : needed) << "round trip " << i;
        EXPECT_EQ(image, ReportedBytes(c, "image")) << "round trip " << i;
    }
}

// A one-dimensional image is one row of a two-dimensional one: the GL skips rows before it, and the
// recorded bytes reach as far as its last pixel.
TEST_F(Uploads, OneDimensionalImagesSkipRowsAsTheGLDoes) {
    ASSERT_EQ(Reported(kTexture1DSkipRows, "error"), 0u) << "the GL refused the upload";
    constexpr std::uint32_t kSkip = 2 * 7 * 4 + 4, kPixelBytes = 5 * 4;
    const Bytes fixed = Bytes().u32(0x0DE0).i32(0).i32(0x8058).i32(5).i32(0).u32(0x1908).u32(0x1401)
                            .addr(ReportedAddress(kTexture1DSkipRows, "pixels"));
    const CallRecord upload = Nth(Case(kTexture1DSkipRows), api::glTexImage1D);
    EXPECT_EQ(upload, Rec(api::glTexImage1D, Pattern(fixed, kSkip + kPixelBytes))) << Describe(Case(kTexture1DSkipRows));
    const std::vector<std::uint8_t> block = Block(upload, 28 + kPointerBytes);
    ASSERT_EQ(block.size(), kSkip + kPixelBytes);
    EXPECT_EQ(std::vector<std::uint8_t>(block.begin() + kSkip, block.end()), ReportedBytes(kTexture1DSkipRows, "image"));
}

// A bitmap with row length, skips that split bytes and alignment 2: rebuilt bit by bit, the stipple
// the GL returns.
TEST_F(Uploads, RecordedStippleRebuildsWhatTheGLHolds) {
    const std::vector<std::uint8_t> block = Block(Nth(Case(kStippleRoundTrip), api::glPolygonStipple), kPointerBytes);
    constexpr std::uint32_t kRowStride = 2 * ((40 + 15) / 16), kSkipPixels = 3, kSkipRows = 2;
    std::vector<std::uint8_t> stipple(128, 0);
    std::size_t needed = 0;
    for (std::uint32_t y = 0; y < 32; ++y)
        for (std::uint32_t x = 0; x < 32; ++x) {
            const std::uint32_t bit = kSkipPixels + x;
            const std::size_t at = (kSkipRows + y) * kRowStride + bit / 8;
            needed = std::max(needed, at + 1);
            if (at < block.size() && (block[at] & (0x80u >> (bit % 8)))) stipple[y * 4 + x / 8] |= 0x80u >> (x % 8);
        }
    EXPECT_EQ(block.size(), needed);
    EXPECT_EQ(stipple, ReportedBytes(kStippleRoundTrip, "stipple"));
}
