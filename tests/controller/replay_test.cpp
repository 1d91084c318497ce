// The replay on captures built by hand, where the test chooses what the application was given: object
// names the GL of the replay will not hand out again, client memory at addresses of another process,
// records that cannot be right and calls a replay cannot re-issue.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>

#include "CaptureBuilder.h"
#include "controller/reading/CaptureFileReader.h"
#include "controller/replay/Replayer.h"
#include "tests/support/Folders.h"
#include "tests/support/PngDecoder.h"

namespace {

using kestrel::test::CaptureBuilder;
using kestrel::test::Payload;

constexpr std::uint32_t kDC = 0x5010045, kContext = 0x10000, kThread = 42;
constexpr int kSize = 32;
// GL enums the fixtures use.
constexpr std::uint32_t kFloat = 0x1406, kQuads = 0x0007, kTriangles = 0x0004, kColourBuffer = 0x4000,
                        kVertexArray = 0x8074;

std::string TempFolder(const std::string& name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "kestrel-replay-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

// A window's device context, a context made and current on it, a 32 x 32 viewport cleared to black.
CaptureBuilder Window() {
    CaptureBuilder capture;
    capture.Opening().ThreadSwitch(kThread, 0);
    const std::int32_t rect[4] = {10, 10, 10 + kSize, 10 + kSize};
    capture.Drawable(0x30010, kDC, rect, 0, 1);
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.cColorBits = 32;
    format.cAlphaBits = 8;
    format.cDepthBits = 24;
    format.cStencilBits = 8;
    capture.Call("wglSetPixelFormat", Payload().U32(kDC).U32(7).Raw(&format, 40).U32(1));
    capture.Call("wglCreateContext", Payload().U32(kDC).U32(kContext).I32(10).I32(10).I32(42).I32(42).U32(0));
    capture.Call("wglMakeCurrent", Payload().U32(kDC).U32(kContext).U32(1));
    capture.Call("glViewport", Payload().I32(0).I32(0).I32(kSize).I32(kSize));
    capture.Call("glClearColor", Payload().F32(0).F32(0).F32(0).F32(1));
    capture.Call("glClear", Payload().U32(kColourBuffer));
    return capture;
}

struct Replayed {
    kestrel::replay::ReplayTally tally;
    kestrel::replay::Replayer::Step last = kestrel::replay::Replayer::Step::Continue;
    std::string error;
    DecodedPng frame1;
};

Replayed Replay(const CaptureBuilder& capture, const std::string& name, bool checkErrors = false) {
    const std::string folder = TempFolder(name);
    CreateDirectoryA(folder.c_str(), nullptr);
    Replayed result;
    {
        kestrel::replay::ReplaySettings settings;
        settings.imagePrefix = folder + "\\" + name + "_";
        settings.checkErrors = checkErrors;
        kestrel::replay::Replayer replayer(settings, result.tally);
        kestrel::CaptureFileReader reader;
        reader.OpenMemory(capture.bytes().data(), capture.size());
        kestrel::CaptureRecord record;
        while (result.last == kestrel::replay::Replayer::Step::Continue && reader.Next(record))
            result.last = replayer.Replay(record);
        result.error = replayer.error();
    }
    result.frame1 = DecodePng(folder + "\\" + name + "_0001.png");
    RemoveFolder(folder);
    return result;
}

// The colour at the middle of the frame, as 0xRRGGBB.
std::uint32_t Middle(const DecodedPng& png) {
    const std::size_t at = (static_cast<std::size_t>(png.height / 2) * png.width + png.width / 2) * 3;
    if (png.rgb.size() < at + 3) return 0xDEAD;
    return static_cast<std::uint32_t>(png.rgb[at]) << 16 | png.rgb[at + 1] << 8 | png.rgb[at + 2];
}

CaptureBuilder& FullQuad(CaptureBuilder& capture) {
    capture.Call("glBegin", Payload().U32(kQuads));
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (const auto& corner : corners) {
        capture.Call("glTexCoord2f", Payload().F32(0.5f).F32(0.5f));
        capture.Call("glVertex2f", Payload().F32(corner[0]).F32(corner[1]));
    }
    return capture.Call("glEnd");
}

// Names the application was given are the replay's names wherever the capture uses them, whatever the
// replay's GL hands out. Shaders and programs exist only once created, and uniform locations and
// attribute indices are the program's own: with any of them taken as they stand, nothing green would
// be drawn.
TEST(Replay, ObjectNamesLocationsAndAttributesOfTheCaptureAreMappedToTheReplaysOwn) {
    auto source = [](std::uint32_t shader, const std::string& text) {
        return Payload().U32(shader).I32(1).U32(0x2000).U32(0).I32(static_cast<std::int32_t>(text.size())).Text(text);
    };
    constexpr const char* kVertex = "void main() { gl_Position = gl_Vertex; }";
    constexpr const char* kGreen = "void main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }";
    struct Case {
        const char* name;
        const char* vertex;
        const char* fragment;
        std::function<void(CaptureBuilder&)> colour;
    } cases[] = {
        {"a constant colour", kVertex, kGreen, [](CaptureBuilder&) {}},
        {"a colour through a uniform", kVertex, "uniform vec4 colour; void main() { gl_FragColor = colour; }",
         [](CaptureBuilder& c) {
             c.Call("glGetUniformLocationARB", Payload().U32(79).U32(0x3000).I32(9).Text("colour"));
             c.Call("glUniform4fARB", Payload().I32(9).F32(0).F32(1).F32(0).F32(1));
         }},
        {"a colour through an attribute",
         "attribute vec4 tint; varying vec4 shade; void main() { shade = tint; gl_Position = gl_Vertex; }",
         "varying vec4 shade; void main() { gl_FragColor = shade; }",
         [](CaptureBuilder& c) {
             c.Call("glGetAttribLocationARB", Payload().U32(79).U32(0x3000).I32(6).Text("tint"));
             c.Call("glVertexAttrib4fARB", Payload().U32(6).F32(0).F32(1).F32(0).F32(1));
         }},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        CaptureBuilder c = Window();
        c.Call("glCreateShaderObjectARB", Payload().U32(0x8B31).U32(77));  // vertex shader
        c.Call("glShaderSourceARB", source(77, test.vertex)).Call("glCompileShaderARB", Payload().U32(77));
        c.Call("glCreateShaderObjectARB", Payload().U32(0x8B30).U32(78));  // fragment shader
        c.Call("glShaderSourceARB", source(78, test.fragment)).Call("glCompileShaderARB", Payload().U32(78));
        c.Call("glCreateProgramObjectARB", Payload().U32(79));
        c.Call("glAttachObjectARB", Payload().U32(79).U32(77)).Call("glAttachObjectARB", Payload().U32(79).U32(78));
        c.Call("glLinkProgramARB", Payload().U32(79)).Call("glUseProgramObjectARB", Payload().U32(79));
        test.colour(c);
        FullQuad(c);
        c.Call("wglSwapBuffers", Payload().U32(kDC).U32(1));
        const Replayed replayed = Replay(c, "names");
        EXPECT_EQ(replayed.tally.notReplayedCalls(), 0u);
        ASSERT_EQ(replayed.frame1.error, "");
        EXPECT_EQ(replayed.frame1.width, static_cast<std::uint32_t>(kSize));
        EXPECT_EQ(Middle(replayed.frame1), 0x00FF00u);
    }
}

// A client array is read from the client memory record before the draw, at the draw's own offsets:
// the triangle of vertices 2 to 4 of the application's array, which starts 24 bytes into the block.
TEST(Replay, ClientArraysAreFedFromTheClientMemoryBeforeEachDraw) {
    CaptureBuilder capture = Window();
    constexpr std::uint32_t kAddress = 0x00C41000;  // another process's memory: never read
    capture.Call("glEnableClientState", Payload().U32(kVertexArray));
    capture.Call("glVertexPointer", Payload().I32(3).U32(kFloat).I32(0).U32(kAddress));
    capture.Call("glColor3f", Payload().F32(1).F32(0).F32(1));
    // Vertices 2, 3 and 4: a triangle over the whole viewport's middle.
    const float vertices[3][3] = {{-1, -1, 0}, {3, -1, 0}, {-1, 3, 0}};
    std::vector<std::uint8_t> bytes(sizeof vertices);
    std::memcpy(bytes.data(), vertices, sizeof vertices);
    capture.ClientMemory(kAddress, 24, 0, bytes);
    capture.Call("glDrawArrays", Payload().U32(kTriangles).I32(2).I32(3));
    capture.Call("wglSwapBuffers", Payload().U32(kDC).U32(1));
    const Replayed replayed = Replay(capture, "arrays");
    EXPECT_EQ(replayed.tally.notReplayedCalls(), 0u);
    ASSERT_EQ(replayed.frame1.error, "");
    EXPECT_EQ(Middle(replayed.frame1), 0xFF00FFu);
}

// What a replay cannot do is said, never skipped in silence: calls whose data the capture does not
// hold, or that would call back into the application, are counted by name with the reason; call
// records that the reader takes but that cannot be right stop the replay with their number.
TEST(Replay, CallsItCannotReissueAreListedAndBadRecordsStopItWithTheirNumber) {
    CaptureBuilder listed = Window();
    listed.Call("glObjectLabel", Payload().U32(0x1702).U32(1).I32(5).U32(0x4000));  // the label was not recorded
    listed.Call("glObjectLabel", Payload().U32(0x1702).U32(1).I32(0).U32(0));        // no label: re-issued
    listed.Call("glDebugMessageCallbackARB", Payload().U32(0x401000).U32(0));
    listed.Call("wglSwapBuffers", Payload().U32(kDC).U32(1));
    const Replayed replayed = Replay(listed, "listed");
    ASSERT_EQ(replayed.tally.notReplayed.size(), 2u);
    EXPECT_EQ(replayed.tally.notReplayed.at("glObjectLabel").count, 1u);
    EXPECT_NE(replayed.tally.notReplayed.at("glObjectLabel").reason.find("label"), std::string::npos);
    EXPECT_EQ(replayed.tally.notReplayed.at("glDebugMessageCallbackARB").count, 1u);
    EXPECT_EQ(replayed.frame1.error, "");

    struct Bad {
        const char* name;
        std::function<void(CaptureBuilder&)> add;
        const char* says;
    } bad[] = {
        {"short fixed part", [](CaptureBuilder& c) { c.Call("glTexImage2D", Payload().U32(0x0DE1)); }, "fixed part"},
        {"unknown id", [](CaptureBuilder& c) { c.Record(0x4FFFFFF0u, Payload().U32(1)); }, "unknown call id"},
        // The GL would read 4096 bytes from 16.
        {"data shorter than its size", [](CaptureBuilder& c) {
             c.Call("glBufferDataARB", Payload().U32(0x8892).I32(4096).U32(0x5000).U32(0x88E4).Fill(16, 7));
         }, "16 bytes of data for data, fewer than the 4096"},
        {"fewer indices than drawn", [](CaptureBuilder& c) {
             c.Call("glDrawElements", Payload().U32(kTriangles).I32(6).U32(0x1403).U32(0x6000).U16(0).U16(1));
         }, "4 bytes of indices, fewer than the 12"},
        {"a string without its end", [](CaptureBuilder& c) {
             c.Call("glGetUniformLocationARB", Payload().U32(0).U32(0x3000).I32(-1).Raw("colour", 6));
         }, "for name"},
    };
    for (const Bad& test : bad) {
        SCOPED_TRACE(test.name);
        CaptureBuilder capture = Window();
        test.add(capture);
        const std::size_t number = capture.recordStarts().size();
        capture.Call("wglSwapBuffers", Payload().U32(kDC).U32(1));
        const Replayed damaged = Replay(capture, "damaged");
        EXPECT_EQ(damaged.last, kestrel::replay::Replayer::Step::Damaged);
        EXPECT_NE(damaged.error.find("record " + std::to_string(number) + " "), std::string::npos) << damaged.error;
        EXPECT_NE(damaged.error.find(test.says), std::string::npos) << damaged.error;
        EXPECT_EQ(damaged.tally.framesPresented, 0u);
    }
}

}  // namespace

namespace {

// Asked to, the replay asks glGetError where the application did and reports, by record, the answers
// that differ from the captured ones.
TEST(Replay, ErrorsCheckedAgainstTheCaptureShowWhereTheyDiffer) {
    constexpr std::uint32_t kInvalidEnum = 0x0500, kInvalidOperation = 0x0502;
    CaptureBuilder capture = Window();
    capture.Call("glEnable", Payload().U32(0xFFFF)).Call("glGetError", Payload().U32(kInvalidEnum));
    capture.Call("glGetError", Payload().U32(0));
    capture.Call("glGetError", Payload().U32(kInvalidOperation));  // the replay's GL has nothing to say here
    const std::size_t differing = capture.recordStarts().size();
    capture.Call("wglSwapBuffers", Payload().U32(kDC).U32(1));
    const Replayed checked = Replay(capture, "errors", true);
    EXPECT_EQ(checked.tally.errorsChecked, 3u);
    EXPECT_EQ(checked.tally.errorsDiffering, 1u);
    ASSERT_EQ(checked.tally.firstDifferences.size(), 1u);
    EXPECT_EQ(checked.tally.firstDifferences[0].record, differing);
    EXPECT_EQ(checked.tally.firstDifferences[0].captured, kInvalidOperation);
    EXPECT_EQ(checked.tally.firstDifferences[0].replayed, 0u);
    const Replayed unchecked = Replay(capture, "errors");
    EXPECT_EQ(unchecked.tally.errorsChecked, 0u);
    EXPECT_EQ(unchecked.tally.queries, 3u);
}

}  // namespace
