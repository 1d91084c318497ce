// kestrel dump's lines: every kind of stream record, calls decoded by their description (enums,
// bitfields, vector forms, results, data blocks, aliases), the columns, --blobs, --frames, --grep.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "CaptureBuilder.h"
#include "ReadBack.h"
#include "controller/dump/ChromeTraceWriter.h"
#include "controller/dump/JsonRecordWriter.h"
#include "controller/dump/RecordDumper.h"
#include "controller/reading/TextOutput.h"
#include "gen/ApiDescription.h"
#include "gen/ApiTable.h"
#include "stream/StreamRecordId.h"

namespace kestrel::test {
namespace {

constexpr std::size_t kOpeningRecords = 4;

struct LineCase {
    const char* name;
    std::function<void(CaptureBuilder&)> add;  // one record after the opening ones
    const char* line;                          // what its line says after the columns
};

// A pixel format descriptor after `head`, as the pixel-format records carry it: 32-bit colour,
// 24-bit depth, 8-bit stencil.
Payload PixelFormatPayload(Payload head) {
    return head.U16(40).U16(1).U32(0x225).U8(0).U8(32).U8(8).U8(16).U8(8).U8(8).U8(8).U8(0).U8(8).U8(24)
        .Fill(5, 0).U8(24).U8(8).U8(0).U8(0).U8(0).U32(0).U32(0).U32(0);
}

TEST(Dump, DecodesEachRecordOnItsLine) {
    const std::int32_t rect[4] = {10, 20, 650, 500};
    const LineCase cases[] = {
        {"enum by name", [](CaptureBuilder& b) { b.Call("glEnable", Payload().U32(0x0B71)); }, "glEnable(GL_DEPTH_TEST)"},
        {"bitfield in hex", [](CaptureBuilder& b) { b.Call("glClear", Payload().U32(0x4100)); }, "glClear(0x4100)"},
        {"primitive mode 0", [](CaptureBuilder& b) { b.Call("glDrawArrays", Payload().U32(0).I32(0).I32(3)); }, "glDrawArrays(GL_POINTS, 0, 3)"},
        {"blend factors 1 and 0", [](CaptureBuilder& b) { b.Call("glBlendFunc", Payload().U32(1).U32(0)); }, "glBlendFunc(GL_ONE, GL_ZERO)"},
        {"blend factors by name", [](CaptureBuilder& b) { b.Call("glBlendFunc", Payload().U32(0x0302).U32(0x0303)); },
         "glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA)"},
        {"enum without a name", [](CaptureBuilder& b) { b.Call("glEnable", Payload().U32(0xFFFF1234u)); }, "glEnable(0xFFFF1234)"},
        {"one-byte boolean", [](CaptureBuilder& b) { b.Call("glDepthMask", Payload().U8(0)); }, "glDepthMask(GL_FALSE)"},
        {"two-byte signed values", [](CaptureBuilder& b) { b.Call("glVertex2s", Payload().U16(0xFFFD).U16(4)); }, "glVertex2s(-3, 4)"},
        {"floats read back exactly", [](CaptureBuilder& b) { b.Call("glColor3f", Payload().F32(0.1f).F32(-0.5f).F32(1)); }, "glColor3f(0.1, -0.5, 1)"},
        {"double", [](CaptureBuilder& b) { b.Call("glClearDepth", Payload().F64(0.25)); }, "glClearDepth(0.25)"},
        {"vector form", [](CaptureBuilder& b) { b.Call("glColor3fv", Payload().F32(1).F32(0.5f).F32(0.25f)); }, "glColor3fv({1, 0.5, 0.25})"},
        {"vector form of doubles", [](CaptureBuilder& b) { b.Call("glClipPlane", Payload().U32(0x3000).F64(1).F64(0).F64(-1).F64(2.5)); },
         "glClipPlane(GL_CLIP_PLANE0, {1, 0, -1, 2.5})"},
        {"pointer", [](CaptureBuilder& b) { b.Call("glVertexPointer", Payload().I32(3).U32(0x1406).I32(0).U32(0x00401000)); },
         "glVertexPointer(3, GL_FLOAT, 0, 0x00401000)"},
        {"boolean result", [](CaptureBuilder& b) { b.Call("glIsEnabled", Payload().U32(0x0BE2).U8(1)); }, "glIsEnabled(GL_BLEND) = GL_TRUE"},
        {"error result", [](CaptureBuilder& b) { b.Call("glGetError", Payload().U32(0)); }, "glGetError() = GL_NO_ERROR"},
        {"handle result and the values the recorder adds",
         [](CaptureBuilder& b) { b.Call("wglCreateContext", Payload().U32(0x1F010042).U32(0x11000).I32(0).I32(0).I32(640).I32(480).U32(2)); },
         "wglCreateContext(0x1F010042) = 0x11000 rect={0, 0, 640, 480} geometryKind=2"},
        {"bytes beyond the fixed part", [](CaptureBuilder& b) { b.Call("glEnable", Payload().U32(0x0B71).Fill(20, 0)); },
         "glEnable(GL_DEPTH_TEST) [data: 20 bytes]"},
        {"names made", [](CaptureBuilder& b) { b.Call("glGenTextures", Payload().I32(2).U32(0x0012FF00).U32(1).U32(2)); },
         "glGenTextures(2, 0x0012FF00) textures={1, 2}"},
        {"a long data block by its size", [](CaptureBuilder& b) { b.Call("glGenTextures", Payload().I32(20).U32(0x0012FF00).Fill(80, 1)); },
         "glGenTextures(20, 0x0012FF00) [textures: 80 bytes]"},
        {"the descriptor a pixel format was chosen by",
         [](CaptureBuilder& b) { b.Call("wglChoosePixelFormat", PixelFormatPayload(Payload().U32(0xA010048)).I32(73)); },
         "wglChoosePixelFormat(0xA010048, {nSize=40, nVersion=1, dwFlags=0x225, iPixelType=0, cColorBits=32, "
         "cRedBits=8, cRedShift=16, cGreenBits=8, cGreenShift=8, cBlueBits=8, cBlueShift=0, cAlphaBits=8, "
         "cAlphaShift=24, cAccumBits=0, cAccumRedBits=0, cAccumGreenBits=0, cAccumBlueBits=0, cAccumAlphaBits=0, "
         "cDepthBits=24, cStencilBits=8, cAuxBuffers=0, iLayerType=0, bReserved=0, dwLayerMask=0x0, "
         "dwVisibleMask=0x0, dwDamageMask=0x0}) = 73"},
        {"the pixel format set",
         [](CaptureBuilder& b) { b.Call("wglSetPixelFormat", PixelFormatPayload(Payload().U32(0xA010048).I32(73)).I32(1)); },
         "wglSetPixelFormat(0xA010048, 73, {nSize=40, nVersion=1, dwFlags=0x225, iPixelType=0, cColorBits=32, "
         "cRedBits=8, cRedShift=16, cGreenBits=8, cGreenShift=8, cBlueBits=8, cBlueShift=0, cAlphaBits=8, "
         "cAlphaShift=24, cAccumBits=0, cAccumRedBits=0, cAccumGreenBits=0, cAccumBlueBits=0, cAccumAlphaBits=0, "
         "cDepthBits=24, cStencilBits=8, cAuxBuffers=0, iLayerType=0, bReserved=0, dwLayerMask=0x0, "
         "dwVisibleMask=0x0, dwDamageMask=0x0}) = 1"},
        {"the attribute list of a context and its byte count",
         [](CaptureBuilder& b) {
             b.Call("wglCreateContextAttribsARB", Payload().U32(0x1F010042).U32(0).U32(0x0012F000).U32(20).U32(0x20000)
                                                      .I32(10).I32(20).I32(650).I32(500).U32(0)
                                                      .U32(0x2091).U32(3).U32(0x2092).U32(3).U32(0));
         },
         "wglCreateContextAttribsARB(0x1F010042, 0x0, 0x0012F000) = 0x20000 attribBytes=20 rect={10, 20, 650, 500} "
         "geometryKind=0 attribList={0x2091, 0x3, 0x2092, 0x3, 0x0}"},
        {"a flag recorded in 4 bytes, then the ids",
         [](CaptureBuilder& b) { b.Call("glDebugMessageControlARB", Payload().U32(0x1100).U32(0x1100).U32(0x1100).I32(2).U32(0x0012F100).U32(1).U32(5).U32(6)); },
         "glDebugMessageControlARB(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, 2, 0x0012F100, GL_TRUE) ids={5, 6}"},
        {"an internal format by name",
         [](CaptureBuilder& b) { b.Call("glTexImage2D", Payload().U32(0x0DE1).I32(0).I32(0x8058).I32(1).I32(1).I32(0).U32(0x1908).U32(0x1401).U32(0x00403000).Fill(4, 9)); },
         "glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, 0x00403000) [pixels: 4 bytes]"},
        {"an internal format by its component count",
         [](CaptureBuilder& b) { b.Call("glTexImage2D", Payload().U32(0x0DE1).I32(0).I32(3).I32(1).I32(1).I32(0).U32(0x1907).U32(0x1401).U32(0)); },
         "glTexImage2D(GL_TEXTURE_2D, 0, 3, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, 0x00000000)"},
        {"a texture parameter's enum value",
         [](CaptureBuilder& b) { b.Call("glTexParameteri", Payload().U32(0x0DE1).U32(0x2801).I32(0x2600)); },
         "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST)"},
        {"a texture parameter's number",
         [](CaptureBuilder& b) { b.Call("glTexParameteri", Payload().U32(0x0DE1).U32(0x813D).I32(4)); },
         "glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 4)"},
        {"a texture environment mode given as a float",
         [](CaptureBuilder& b) { b.Call("glTexEnvf", Payload().U32(0x2300).U32(0x2200).F32(8448.0f)); },
         "glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE)"},
        {"texture parameter values by name",
         [](CaptureBuilder& b) { b.Call("glTexParameteriv", Payload().U32(0x0DE1).U32(0x2802).U32(0x00403000).U32(0x812F)); },
         "glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, 0x00403000) params={GL_CLAMP_TO_EDGE}"},
        {"a query's answer",
         [](CaptureBuilder& b) { b.Call("glGetTextureParameteriv", Payload().U32(5).U32(0x2800).U32(0x0012F200).U32(0x2601)); },
         "glGetTextureParameteriv(5, GL_TEXTURE_MAG_FILTER, 0x0012F200) params={GL_LINEAR}"},
        {"blocks one after another",
         [](CaptureBuilder& b) { b.Call("glPrioritizeTextures", Payload().I32(2).U32(0x0012F300).U32(0x0012F400).U32(1).U32(2).F32(0.5f).F32(1)); },
         "glPrioritizeTextures(2, 0x0012F300, 0x0012F400) textures={1, 2} priorities={0.5, 1}"},
        {"string block", [](CaptureBuilder& b) { b.Call("glGetUniformLocationARB", Payload().U32(3).U32(0x00403000).I32(2).Text("u_color")); },
         "glGetUniformLocationARB(0x3, 0x00403000) = 2 name=\"u_color\""},
        {"string with control bytes", [](CaptureBuilder& b) { b.Call("glGetUniformLocationARB", Payload().U32(3).U32(0).I32(-1).Text("a\x1b\"b")); },
         "glGetUniformLocationARB(0x3, 0x00000000) = -1 name=\"a\\x1B\\\"b\""},
        {"string that stands for an argument", [](CaptureBuilder& b) { b.Call("wglGetProcAddress", Payload().U32(0x682BAE90).Text("glShaderSource")); },
         "wglGetProcAddress(\"glShaderSource\") = 0x682BAE90"},
        {"payload shorter than the fixed part", [](CaptureBuilder& b) { b.Call("glViewport", Payload().I32(0).I32(0)); },
         "glViewport(0, 0, ?, ?) [payload 8 of 16 bytes]"},
        {"the pixel format a device context was given",
         [](CaptureBuilder& b) { b.Record(122, PixelFormatPayload(Payload().U32(0xA010048).I32(97))); },
         "pixel format: dc 0xA010048, format 97, flags 0x225, colour 32 (8/8/8), alpha 8, accum 0, depth 24, stencil 8"},
        {"frame end", [](CaptureBuilder& b) { b.Record(121, Payload().U32(0xD1).U32(api::glFlush)); },
         "frame end: single-buffered device context 0xD1, after glFlush"},
        {"unknown API id", [](CaptureBuilder& b) { b.Record(0x4FFFFFF0u, Payload().U32(1)); }, "unknown API id 0x4FFFFFF0 [4 bytes]"},
        {"unknown stream record", [](CaptureBuilder& b) { b.Record(57, Payload().U32(1).U32(2)); }, "unknown record 57 [8 bytes, skipped]"},
        {"thread switch", [](CaptureBuilder& b) { b.ThreadSwitch(77, 0x20000); }, "thread switch: thread 77, context 0x20000"},
        {"client memory block", [](CaptureBuilder& b) { b.ClientMemory(0x00A41000, 48, 0x80000000u, std::vector<std::uint8_t>(12, 1)); },
         "client memory block: address 0x00A41000, offset 48, 12 bytes, variant array"},
        {"drawable", [&](CaptureBuilder& b) { b.Drawable(0x100AC, 0x1F010042, rect, 0, 1); },
         "drawable: window 0x100AC, dc 0x1F010042, rect 10,20-650,500, kind windowed, font \"Arial\" height -16, changes new"},
        {"drawable flags", [&](CaptureBuilder& b) { b.Drawable(0x100AC, 0x1F010042, rect, 1, 2 | 4 | 8 | 64); },
         "drawable: window 0x100AC, dc 0x1F010042, rect 10,20-650,500, kind full-screen, font \"Arial\" height -16, changes rect|full-screen|font|0x40"},
        {"drawable with a bitmap",
         [](CaptureBuilder& b) {
             const std::int32_t box[4] = {0, 0, 4, 2};
             // After the 92 bytes: the DIBSECTION, whose BITMAP (type, width, height, row bytes,
             // planes, bits per pixel, bits) leads its 84 bytes, then the pixels.
             Payload payload = CaptureBuilder::DrawablePayload(0xFFFFFFFFu, 0x2A010050, box, 2 | 4, 1);
             payload.U32(0).I32(4).I32(2).I32(16).U16(1).U16(32).U32(0x00B00000).Fill(84 - 24, 0).Fill(32, 0x7F);
             b.Record(120, payload);
         },
         "drawable: window 0xFFFFFFFF, dc 0x2A010050, rect 0,0-4,2, kind no-window|bitmap, font \"Arial\" height -16, changes new, bitmap 4x2 32 bpp, 32 pixel bytes"},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureBuilder b;
        b.Opening();
        c.add(b);
        const std::vector<std::string> lines = DumpLines(b.bytes());
        ASSERT_EQ(lines.size(), b.recordStarts().size());
        EXPECT_EQ(Body(lines.back()), c.line);
    }
}

// One JSON object per record, in record order and agreeing with the text dump line for line: the
// columns as fields, arguments by name (enums by name, numbers as numbers), the result, a data block
// by size and hash (in base64 with --blobs), a string block as text with JSON's escapes.
TEST(Dump, JsonGivesOneObjectPerRecordWithArgumentsByName) {
    const std::uint8_t block[5] = {1, 2, 3, 4, 5};
    char hash[40];
    std::snprintf(hash, sizeof hash, "0x%016llX", static_cast<unsigned long long>(JsonRecordWriter::Hash(block, 5)));
    struct JsonCase {
        const char* name;
        std::function<void(CaptureBuilder&)> add;
        bool base64;
        std::string object;  // after the number, time stamp, thread and frame fields
    } cases[] = {
        {"enum by name", [](CaptureBuilder& b) { b.Call("glEnable", Payload().U32(0x0B71)); }, false,
         R"("function":"glEnable","args":{"cap":"GL_DEPTH_TEST"}})"},
        {"numbers and a vector", [](CaptureBuilder& b) { b.Call("glColor3fv", Payload().F32(1).F32(0.5f).F32(-0.25f)); }, false,
         R"("function":"glColor3fv","args":{"v":[1,0.5,-0.25]}})"},
        {"bitfield and a result", [](CaptureBuilder& b) { b.Call("glIsEnabled", Payload().U32(0x0BE2).U8(1)); }, false,
         R"("function":"glIsEnabled","args":{"cap":"GL_BLEND"},"result":"GL_TRUE"})"},
        {"data block by hash", [&](CaptureBuilder& b) { b.Call("glGenTextures", Payload().I32(2).U32(0x0012FF00).Raw(block, 5)); }, false,
         std::string(R"("function":"glGenTextures","args":{"n":2,"textures":"0x0012FF00"},"data":{"source":"textures","bytes":5,"fnv1a64":")") + hash + "\"}}"},
        {"data block in base64", [&](CaptureBuilder& b) { b.Call("glGenTextures", Payload().I32(2).U32(0x0012FF00).Raw(block, 5)); }, true,
         std::string(R"("function":"glGenTextures","args":{"n":2,"textures":"0x0012FF00"},"data":{"source":"textures","bytes":5,"fnv1a64":")") + hash + R"(","base64":"AQIDBAU="}})"},
        {"string with escapes", [](CaptureBuilder& b) { b.Call("glGetUniformLocationARB", Payload().U32(3).U32(0).I32(-1).Text("a\"b\x01")); }, false,
         R"("function":"glGetUniformLocationARB","args":{"programObj":"0x3","name":"0x00000000"},"result":-1,"data":{"source":"name","bytes":5,"text":"a\"b\u0001","fnv1a64":")"},
        {"thread switch", [](CaptureBuilder& b) { b.ThreadSwitch(77, 0x20000); }, false,
         R"("record":"thread switch","id":104,"bytes":8})"},
    };
    for (const JsonCase& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureBuilder b;
        b.Opening();
        c.add(b);
        DumpOptions options;
        options.json = true;
        options.blobs = c.base64;
        const std::vector<std::string> lines = DumpLines(b.bytes(), options);
        ASSERT_EQ(lines.size(), b.recordStarts().size());
        ASSERT_EQ(lines.size(), DumpLines(b.bytes()).size()) << "a line for every line of the text dump";
        const std::string& last = lines.back();
        EXPECT_EQ(last.rfind("{\"n\":4,\"t\":", 0), 0u) << last;
        const std::size_t body = last.find(",\"frame\":1,");
        ASSERT_NE(body, std::string::npos) << last;
        const std::string object = last.substr(body + std::strlen(",\"frame\":1,"));
        if (std::string(c.name) == "string with escapes")
            EXPECT_EQ(object.rfind(c.object, 0), 0u) << object;  // its hash follows
        else
            EXPECT_EQ(object, c.object);
    }
}

std::size_t Occurrences(std::string_view text, std::string_view part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// Every record of the capture through the trace writer, which is then finished.
void WriteTrace(const CaptureBuilder& b, ChromeTraceWriter& trace) {
    StreamTracker tracker;
    CaptureFileReader reader;
    reader.OpenMemory(b.bytes().data(), b.size());
    CaptureRecord record;
    while (reader.Next(record)) {
        const RecordView view = RecordView::Of(record);
        tracker.Advance(view);
        trace.Add(view, tracker);
    }
    trace.Finish();
}

// The trace-event file: a track per thread that called, one event per call up to the cap, and a
// frames track with a slice from swap to swap carrying its call count; a capped trace says so.
TEST(Dump, ChromeTraceHasAFrameSliceForEverySwapAndATrackPerThread) {
    CaptureBuilder b;
    const Payload swap = Payload().U32(0x1F010042).U32(1);
    b.Opening().ThreadSwitch(77, 0).Call("glFlush").Call("wglSwapBuffers", swap).ThreadSwitch(78, 0).Call("glFinish")
        .Call("glFlush").Call("wglSwapBuffers", swap).Call("glFlush");
    struct Case {
        std::uint64_t limit;
        std::size_t callEvents;
        bool capped;
    } cases[] = {{100, 6, false}, {2, 2, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.limit);
        TextOutput out;
        ChromeTraceWriter trace(out, 1e6, c.limit);  // a tick is a microsecond
        WriteTrace(b, trace);
        const std::string_view text = out.text();
        EXPECT_EQ(text.substr(0, 40), R"({"displayTimeUnit":"ms","traceEvents":[)" "\n");
        EXPECT_EQ(trace.frames(), 2u);
        EXPECT_EQ(trace.threads(), 2u);
        EXPECT_EQ(trace.callEvents(), c.callEvents);
        EXPECT_EQ(trace.capped(), c.capped);
        EXPECT_EQ(Occurrences(text, R"("cat":"call")"), c.callEvents);
        EXPECT_EQ(Occurrences(text, R"("ph":"M")"), 3u) << "the frames track and two threads";
        // Records are 10 ticks apart from the first at 1000: the first swap is record 6, the second 10.
        EXPECT_NE(text.find(R"({"name":"frame 1","cat":"frame","ph":"X","pid":1,"tid":0,"ts":0.000,"dur":60.000,"args":{"calls":2}})"),
                  std::string_view::npos) << text;
        EXPECT_NE(text.find(R"({"name":"frame 2","cat":"frame","ph":"X","pid":1,"tid":0,"ts":60.000,"dur":40.000,"args":{"calls":3}})"),
                  std::string_view::npos) << text;
        EXPECT_EQ(text.find("capped") != std::string_view::npos, c.capped);
        EXPECT_EQ(text.substr(text.size() - 3), "]}\n");
    }
}

// A mapped write: its buffer and runs on its line, the runs' bytes as its data; in JSON by runs and
// data; on its thread's track in a trace; a record whose runs do not add up says so.
TEST(Dump, AMappedWriteShowsItsBufferRunsAndBytes) {
    const std::uint8_t bytes[5] = {0xA1, 0xA2, 0xA3, 0xB1, 0xB2};
    CaptureBuilder b;
    b.Opening().ThreadSwitch(77, 0x100);
    b.Record(kMappedWriteRecord, Payload().U32(6).U32(2).U32(4096).U32(3).U32(9000).U32(2).Raw(bytes, 5));
    b.Record(kMappedWriteRecord, Payload().U32(6).U32(1).U32(16).U32(4).Raw(bytes, 2));
    DumpOptions options;
    options.blobs = true;
    const std::vector<std::string> lines = DumpLines(b.bytes(), options);
    ASSERT_EQ(lines.size(), 4u + 1 + 2 + 2);
    EXPECT_EQ(Body(lines[5]), "mapped write: buffer 6, 2 runs (4096+3, 9000+2), 5 bytes");
    EXPECT_EQ(lines[6], "          0x0000: A1 A2 A3 B1 B2");
    EXPECT_EQ(Body(lines[7]), "mapped write: buffer 6, 1 run (16+4), 2 bytes (the runs add up to another size)");
    EXPECT_EQ(lines[8], "          0x0000: A1 A2");

    options.json = true;
    const std::vector<std::string> json = DumpLines(b.bytes(), options);
    ASSERT_EQ(json.size(), 7u);
    char hash[40];
    std::snprintf(hash, sizeof hash, "0x%016llX", static_cast<unsigned long long>(JsonRecordWriter::Hash(bytes, 5)));
    const std::string expected = std::string(R"("record":"mapped write","id":123,"bytes":29,"buffer":6,)") +
                                 R"("runs":[{"offset":4096,"length":3},{"offset":9000,"length":2}],)" +
                                 R"("data":{"bytes":5,"fnv1a64":")" + hash + R"(","base64":"oaKjsbI="}})";
    EXPECT_NE(json[5].find(expected), std::string::npos) << json[5];

    TextOutput out;
    ChromeTraceWriter trace(out, 1e6, 100);
    WriteTrace(b, trace);
    EXPECT_NE(out.text().find(R"("name":"mapped write","cat":"mapped","ph":"i","s":"t","pid":1,"tid":77,)"),
              std::string_view::npos) << out.text();
    EXPECT_NE(out.text().find(R"("args":{"buffer":6,"runs":2,"bytes":5}})"), std::string_view::npos) << out.text();
    EXPECT_EQ(trace.threads(), 1u);
}

// A capture of a 64-bit process: its API type record says 64, and every pointer, handle and
// pointer-sized integer, in the calls and in the stream records, is 8 bytes wide and moves what
// follows it; the same fields read the same as in a 32-bit capture.
TEST(Dump, ACaptureOfA64BitProcessHasEightByteAddressesAndHandles) {
    const std::int32_t rect[4] = {10, 20, 650, 500};
    constexpr std::uint32_t k64 = 64;
    const LineCase cases[] = {
        {"pointer", [](CaptureBuilder& b) { b.Call("glVertexPointer", Payload().I32(3).U32(0x1406).I32(0).Address(0x7FF600401000, k64)); },
         "glVertexPointer(3, GL_FLOAT, 0, 0x00007FF600401000)"},
        {"pointer-sized integers move the fields after them",
         [](CaptureBuilder& b) {
             b.Call("glMapBufferRange", Payload().U32(0x8892).Address(256, k64).Address(64, k64).U32(0x2).Address(0x1D0000, k64));
         },
         "glMapBufferRange(GL_ARRAY_BUFFER, 256, 64, 0x2) = 0x00000000001D0000"},
        {"handles, then the fields after them",
         [](CaptureBuilder& b) {
             b.Call("wglCreateContext",
                    Payload().Address(0x1F010042, k64).Address(0x100011000, k64).I32(1).I32(2).I32(3).I32(4).U32(5));
         },
         "wglCreateContext(0x1F010042) = 0x100011000 rect={1, 2, 3, 4} geometryKind=5"},
        {"data block after a pointer", [](CaptureBuilder& b) { b.Call("glGenTextures", Payload().I32(2).Address(0x12FF00, k64).U32(1).U32(2)); },
         "glGenTextures(2, 0x000000000012FF00) textures={1, 2}"},
        {"string after the returned address",
         [](CaptureBuilder& b) { b.Call("wglGetProcAddress", Payload().Address(0x7FFA682BAE90, k64).Text("glShaderSource")); },
         "wglGetProcAddress(\"glShaderSource\") = 0x00007FFA682BAE90"},
        {"payload shorter than the wider fixed part", [](CaptureBuilder& b) { b.Call("glVertexPointer", Payload().I32(3).U32(0x1406).I32(0).U32(0)); },
         "glVertexPointer(3, GL_FLOAT, 0, ?) [payload 16 of 20 bytes]"},
        {"thread switch", [](CaptureBuilder& b) { b.ThreadSwitch(77, 0x100020000); }, "thread switch: thread 77, context 0x100020000"},
        {"client memory block", [](CaptureBuilder& b) { b.ClientMemory(0x7FF600A41000, 48, 0, std::vector<std::uint8_t>(12, 1)); },
         "client memory block: address 0x00007FF600A41000, offset 48, 12 bytes"},
        {"drawable", [&](CaptureBuilder& b) { b.Drawable(0x100AC, 0x1F010042, rect, 1, 2 | 8); },
         "drawable: window 0x100AC, dc 0x1F010042, rect 10,20-650,500, kind full-screen, font \"Arial\" height -16, changes rect|font"},
        {"the pixel format a device context was given",
         [](CaptureBuilder& b) { b.Record(122, PixelFormatPayload(Payload().Address(0x100A010048, k64).I32(97))); },
         "pixel format: dc 0x100A010048, format 97, flags 0x225, colour 32 (8/8/8), alpha 8, accum 0, depth 24, stencil 8"},
        {"frame end", [](CaptureBuilder& b) { b.Record(121, Payload().Address(0x1000000D1, k64).U32(api::glFinish)); },
         "frame end: single-buffered device context 0x1000000D1, after glFinish"},
        {"frame end of an earlier recorder, with a 32-bit handle",
         [](CaptureBuilder& b) { b.Record(121, Payload().U32(0xD1).U32(api::glFlush)); },
         "frame end: single-buffered device context 0xD1, after glFlush"},
        {"drawable with the 64-bit DIBSECTION",
         [](CaptureBuilder& b) {
             const std::int32_t box[4] = {0, 0, 4, 2};
             Payload payload = CaptureBuilder::DrawablePayload(~0ull, 0x2A010050, box, 2 | 4, 1, "Arial", k64);
             payload.U32(0).I32(4).I32(2).I32(16).U16(1).U16(32).Fill(104 - 20, 0).Fill(32, 0x7F);
             b.Record(120, payload);
         },
         "drawable: window 0xFFFFFFFFFFFFFFFF, dc 0x2A010050, rect 0,0-4,2, kind no-window|bitmap, font \"Arial\" height -16, changes new, bitmap 4x2 32 bpp, 32 pixel bytes"},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureBuilder b(64);
        b.Opening();
        c.add(b);
        const std::vector<std::string> lines = DumpLines(b.bytes());
        ASSERT_EQ(lines.size(), b.recordStarts().size());
        EXPECT_EQ(Body(lines[2]), "API type 2 OpenGL, 64-bit pointers");
        EXPECT_EQ(Body(lines.back()), c.line);
    }
}

TEST(Dump, OpeningRecordsAndColumns) {
    CaptureBuilder b;
    b.Opening("Windows 7 | Wine Adapter").Call("glFlush").ThreadSwitch(292, 0).Call("glFinish");
    const std::vector<std::string> lines = DumpLines(b.bytes());
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(Body(lines[0]), "format version 0x00010002");
    EXPECT_EQ(Body(lines[1]), "recorder version 0x01060100");
    EXPECT_EQ(Body(lines[2]), "API type 2 OpenGL, 32-bit pointers");
    EXPECT_EQ(Body(lines[3]), "system description \"Windows 7 | Wine Adapter\"");
    EXPECT_EQ(lines[4], "       4            1040       -  glFlush()");
    EXPECT_EQ(ThreadColumn(lines[5]), "292");
    EXPECT_EQ(lines[6], "       6            1060     292  glFinish()");
}

// The JSON of hand-written records: a structure as an object of its members, the values a recorder
// adds by name, several blocks as a list, the values of small typed blocks.
TEST(Dump, JsonNamesEveryFieldOfHandWrittenRecords) {
    CaptureBuilder b;
    b.Opening();
    b.Call("wglChoosePixelFormat", PixelFormatPayload(Payload().U32(0xA010048)).I32(73));
    b.Call("wglCreateContext", Payload().U32(0x1F010042).U32(0x11000).I32(0).I32(0).I32(640).I32(480).U32(2));
    b.Call("glPrioritizeTextures", Payload().I32(2).U32(0x0012F300).U32(0x0012F400).U32(1).U32(2).F32(0.5f).F32(1));
    b.Call("glShaderSourceARB", Payload().U32(3).I32(2).U32(0x0012F500).U32(0).I32(2).I32(3).Text("ab").Text("cde"));
    DumpOptions options;
    options.json = true;
    const std::vector<std::string> lines = DumpLines(b.bytes(), options);
    ASSERT_EQ(lines.size(), 8u);
    const std::pair<std::size_t, std::string> expected[] = {
        {4, R"("args":{"hdc":"0xA010048","ppfd":{"nSize":40,"nVersion":1,"dwFlags":"0x225","iPixelType":0,"cColorBits":32,)"},
        {4, R"("cStencilBits":8,"cAuxBuffers":0,"iLayerType":0,"bReserved":0,"dwLayerMask":"0x0","dwVisibleMask":"0x0","dwDamageMask":"0x0"}},"result":73})"},
        {5, R"("args":{"hDc":"0x1F010042","rect":[0,0,640,480],"geometryKind":2},"result":"0x11000"})"},
        {6, R"("data":[{"source":"textures","bytes":8,"values":[1,2],)"},
        {6, R"({"source":"priorities","bytes":8,"values":[0.5,1],)"},
        {7, R"("data":[{"source":"length","bytes":8,"values":[2,3],)"},
        {7, R"({"source":"string","bytes":7,"text":"ab","strings":["ab","cde"],)"},
    };
    for (const auto& [line, part] : expected) EXPECT_NE(lines[line].find(part), std::string::npos) << lines[line];
}

TEST(Dump, AnAliasMarkerNamesTheAliasAndTheCallIsShownUnderIt) {
    CaptureBuilder b;
    b.Opening().AliasCall("glBeginQuery", Payload().U32(0x8914).U32(7));
    const std::vector<std::string> lines = DumpLines(b.bytes());
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(Body(lines[4]), "alias marker: glBeginQuery (alias " + std::to_string(CaptureBuilder::AliasNumber("glBeginQuery")) +
                                  ") records as glBeginQueryARB");
    EXPECT_EQ(Body(lines[5]), "glBeginQuery(GL_SAMPLES_PASSED, 7) (as glBeginQueryARB)");
}

// The alias's own parameters name and show the arguments: glGetProgramiv takes a program where
// glGetProgramivARB takes a target.
TEST(Dump, AnAliasCallIsShownByItsOwnSignature) {
    CaptureBuilder b;
    b.Opening().AliasCall("glGetProgramiv", Payload().U32(3).U32(0x8B82).U32(0x0074FA30));
    b.Call("glGetProgramivARB", Payload().U32(0x8620).U32(0x8B82).U32(0x0074FA30));
    const std::vector<std::string> lines = DumpLines(b.bytes());
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(Body(lines[5]), "glGetProgramiv(3, GL_LINK_STATUS, 0x0074FA30) (as glGetProgramivARB)");
    EXPECT_EQ(Body(lines[6]), "glGetProgramivARB(GL_VERTEX_PROGRAM_ARB, GL_LINK_STATUS, 0x0074FA30)");
    DumpOptions options;
    options.json = true;
    const std::vector<std::string> json = DumpLines(b.bytes(), options);
    ASSERT_EQ(json.size(), 7u);
    EXPECT_NE(json[5].find(R"("function":"glGetProgramiv","recordedAs":"glGetProgramivARB","args":{"program":3,"pname":"GL_LINK_STATUS","params":"0x0074FA30"})"),
              std::string::npos) << json[5];
}

TEST(Dump, AnAliasNumberThatDoesNotRecordAsTheTargetIsNotBelieved) {
    const std::uint32_t target = CaptureBuilder::AliasTarget("glBeginQuery");
    const std::uint32_t other = CaptureBuilder::AliasNumber("glBlendFuncSeparate");
    for (std::uint32_t number : {other, 100000u}) {
        CaptureBuilder b;
        b.Opening().MarkedCall(target, number, Payload().U32(0x8914).U32(7));
        const std::vector<std::string> lines = DumpLines(b.bytes());
        ASSERT_EQ(lines.size(), 6u);
        EXPECT_EQ(Body(lines[4]), "alias marker: unknown alias " + std::to_string(number) + " records as glBeginQueryARB");
        EXPECT_EQ(Body(lines[5]), "glBeginQueryARB(GL_SAMPLES_PASSED, 7)");
    }
}

TEST(Dump, BlobsShowTheBytesOfDataBlocksUpToTheLimit) {
    CaptureBuilder b;
    std::vector<std::uint8_t> memory(100);
    for (std::size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<std::uint8_t>(i);
    b.Opening().Call("glGenTextures", Payload().I32(2).U32(0x0012FF00).U32(1).U32(0x0A0B0C0D)).ClientMemory(0x1000, 0, 0, memory);
    DumpOptions options;
    options.blobs = true;
    options.blobLimit = 40;
    const std::vector<std::string> lines = DumpLines(b.bytes(), options);
    ASSERT_EQ(lines.size(), 4u + 2u + 4u);
    EXPECT_EQ(lines[5], "          0x0000: 01 00 00 00 0D 0C 0B 0A");
    EXPECT_EQ(Body(lines[6]), "client memory block: address 0x00001000, offset 0, 100 bytes");
    EXPECT_EQ(lines[7], "          0x0000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F");
    EXPECT_EQ(lines[8], "          0x0020: 20 21 22 23 24 25 26 27");
    EXPECT_EQ(lines[9], "          ... 60 more bytes");
    // Without --blobs the same capture has one line per record.
    EXPECT_EQ(DumpLines(b.bytes()).size(), b.recordStarts().size());
}

// Three frames ended by swaps, then calls after the last swap; the alias's name is not part of
// its target's name, so that --grep can tell them apart.
CaptureBuilder FramedCapture(std::string& aliasName) {
    for (const description::AliasDescription& alias : description::kAliases) {
        const description::ApiDescription* target = description::FindApi(alias.targetApiId);
        if (target && target->fixedSize == 4 && !std::strstr(target->name, alias.name)) {
            aliasName = alias.name;
            break;
        }
    }
    CaptureBuilder b;
    b.Opening().ThreadSwitch(10, 0x100);
    b.Call("glClear", Payload().U32(0x4000)).Call("wglSwapBuffers", Payload().U32(1).U32(1));        // frame 1
    b.Call("glClear", Payload().U32(0x4000)).AliasCall(aliasName, Payload().U32(0));                   // frame 2
    b.ThreadSwitch(20, 0x200).Call("wglSwapLayerBuffers", Payload().U32(1).U32(1).U32(1));
    b.Call("glColor3f", Payload().F32(1).F32(1).F32(1)).Call("glClear", Payload().U32(0x4100));        // frame 3
    b.Call("wglSwapMultipleBuffers", Payload().U32(1).U32(0).U32(1));
    b.Call("glFlush");                                                                                  // frame 4
    return b;
}

std::vector<std::string> Names(const std::vector<std::string>& lines) {
    std::vector<std::string> names;
    for (const std::string& line : lines) {
        const std::string body = Body(line);
        names.push_back(body.substr(0, body.find_first_of("(:")));
    }
    return names;
}

TEST(Dump, FramesAndGrepNarrowTheLines) {
    std::string alias;
    const CaptureBuilder b = FramedCapture(alias);
    ASSERT_FALSE(alias.empty());
    struct Case {
        const char* frames;
        const char* grep;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"2-2", "", {"glClear", "alias marker", alias, "thread switch", "wglSwapLayerBuffers"}},
        {"1", "", {"format version 0x00010002", "recorder version 0x01060100", "API type 2 OpenGL, 32-bit pointers",
                   "system description \"Windows 10 | Test Adapter\"", "thread switch", "glClear", "wglSwapBuffers"}},
        {"3-", "", {"glColor3f", "glClear", "wglSwapMultipleBuffers", "glFlush"}},
        {"4-4", "", {"glFlush"}},
        {"5-9", "", {}},
        {"1-", "Swap", {"wglSwapBuffers", "wglSwapLayerBuffers", "wglSwapMultipleBuffers"}},
        {"2-3", "glClear", {"glClear", "glClear"}},
        {"1-", "thread", {"thread switch", "thread switch"}},
        {"1-", alias.c_str(), {"alias marker", alias}},
        {"1-", "nothing like it", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.frames) + " " + c.grep);
        DumpOptions options;
        std::string error;
        std::vector<std::string> words = {"capture.kcap", "--frames", c.frames};
        if (*c.grep) words.insert(words.end(), {"--grep", c.grep});
        ASSERT_TRUE(options.Parse(words, error)) << error;
        EXPECT_EQ(Names(DumpLines(b.bytes(), options)), c.names);
    }
}

TEST(Dump, TheThreadColumnFollowsTheLatestSwitch) {
    std::string alias;
    const CaptureBuilder b = FramedCapture(alias);
    const std::vector<std::string> lines = DumpLines(b.bytes());
    ASSERT_EQ(lines.size(), b.recordStarts().size());
    std::vector<std::string> threads;
    for (const std::string& line : lines) threads.push_back(ThreadColumn(line));
    const std::vector<std::string> expected = {"-", "-", "-", "-", "10", "10", "10", "10", "10", "10",
                                               "20", "20", "20", "20", "20", "20"};
    EXPECT_EQ(threads, expected);
}

TEST(Dump, StopsReadingPastTheLastFrameAskedFor) {
    std::string alias;
    const CaptureBuilder b = FramedCapture(alias);
    DumpOptions options;
    options.lastFrame = 1;
    TextOutput out;
    RecordDumper dumper(options, out);
    const ReadResult read = ReadAll(b.bytes());
    std::size_t taken = 0;
    while (taken < read.records.size() && dumper.Add(RecordView::Of(read.records[taken]))) ++taken;
    EXPECT_EQ(taken, 7u);  // the first record of frame 2 is refused
}

struct OptionCase {
    std::vector<std::string> words;
    const char* error;  // empty when the words are right
};

TEST(Dump, OptionsAreCheckedWithAOneLineReason) {
    const OptionCase cases[] = {
        {{"a.kcap"}, ""},
        {{"a.kcap", "--frames=2-5", "--grep=glDraw", "--blobs=64"}, ""},
        {{"--blobs", "a.kcap"}, ""},
        {{}, "no capture file given"},
        {{"a.kcap", "b.kcap"}, "one capture file only"},
        {{"a.kcap", "--frames"}, "--frames needs a value"},
        {{"a.kcap", "--frames", "0-3"}, "--frames takes"},
        {{"a.kcap", "--frames", "5-3"}, "--frames takes"},
        {{"a.kcap", "--frames", "2-x"}, "--frames takes"},
        {{"a.kcap", "--frames", "99999999999999999999999"}, "--frames takes"},
        {{"a.kcap", "--grep="}, "--grep needs a name"},
        {{"a.kcap", "--blobs=0"}, "--blobs takes"},
        {{"a.kcap", "--blobs=lots"}, "--blobs takes"},
        {{"a.kcap", "--verbose"}, "unknown option --verbose"},
    };
    for (const OptionCase& c : cases) {
        DumpOptions options;
        std::string error;
        const bool ok = options.Parse(c.words, error);
        EXPECT_EQ(ok, *c.error == 0) << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
    DumpOptions options;
    std::string error;
    ASSERT_TRUE(options.Parse({"a.kcap", "--frames", "3-7", "--grep", "glDraw", "--blobs=64"}, error));
    EXPECT_EQ(options.path, "a.kcap");
    EXPECT_EQ(options.firstFrame, 3u);
    EXPECT_EQ(options.lastFrame, 7u);
    EXPECT_EQ(options.grep, "glDraw");
    EXPECT_TRUE(options.blobs);
    EXPECT_EQ(options.blobLimit, 64u);
}

}  // namespace
}  // namespace kestrel::test
