// The frame read-back against a real GL: the pixels of the buffer drawn into, exactly, and the
// application's state as it was afterwards, whatever odd state it had set.
#include <gtest/gtest.h>

#include <windows.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <thread>

#include "images/FrameReader.h"
#include "tests/support/GLWindow.h"
#include "tests/support/SystemReadBack.h"
#include "tests/support/TruthFrame.h"

using kestrel::FramePixels;
using kestrel::FrameReader;

namespace {
template <class Fn>
Fn Extension(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(wglGetProcAddress(name)));
}

GLint Integer(GLenum name) {
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

// Content that tells rows, columns and channels apart: a clear colour and a triangle in a corner.
void Draw(int width, int height, float shade) {
    glViewport(0, 0, width, height);
    glClearColor(shade, 0.25f, 1.0f - shade, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1.0f, shade, 0.0f);
    glBegin(GL_TRIANGLES);
    glVertex2f(-1.0f, -1.0f);
    glVertex2f(0.3f, -1.0f);
    glVertex2f(-1.0f, 0.6f);
    glEnd();
}

// What the application itself reads from its back buffer.
TruthFrame ReadBack(int width, int height) {
    TruthFrame truth;
    truth.width = static_cast<std::uint32_t>(width);
    truth.height = static_cast<std::uint32_t>(height);
    truth.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, truth.rgba.data());
    return truth;
}

// The read-back's blue, green, red, alpha rows from the top, against the application's RGBA rows
// from the bottom.
void ExpectSamePixels(const FramePixels& frame, const TruthFrame& truth) {
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame.width, truth.width);
    ASSERT_EQ(frame.height, truth.height);
    EXPECT_EQ(frame.stride, -4 * static_cast<std::int64_t>(truth.width));
    for (std::uint32_t y = 0; y < truth.height; ++y)
        for (std::uint32_t x = 0; x < truth.width; ++x) {
            const std::uint8_t* got = frame.top + frame.stride * y + 4 * x;
            const std::uint8_t* want = truth.FromTop(x, y);
            ASSERT_EQ(got[0], want[2]) << x << "," << y;
            ASSERT_EQ(got[1], want[1]) << x << "," << y;
            ASSERT_EQ(got[2], want[0]) << x << "," << y;
        }
}
}  // namespace

// A read framebuffer, a pixel pack buffer, the front buffer as read buffer and a pack state that
// would pad and shift rows of an odd width: the window's back buffer is read all the same, and each
// of them is as the application left it.
TEST(FrameReader, ReadsTheBackBufferExactlyWhateverTheReadStateAndPutsItBack) {
    GLWindow window(161, 97, true);
    ASSERT_EQ(window.error(), "");
    ASSERT_TRUE(window.SetClientSize(161, 97));
    auto genBuffers = Extension<PFNGLGENBUFFERSPROC>("glGenBuffers");
    auto bindBuffer = Extension<PFNGLBINDBUFFERPROC>("glBindBuffer");
    auto bufferData = Extension<PFNGLBUFFERDATAPROC>("glBufferData");
    auto genFramebuffers = Extension<PFNGLGENFRAMEBUFFERSPROC>("glGenFramebuffers");
    auto bindFramebuffer = Extension<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer");
    auto genRenderbuffers = Extension<PFNGLGENRENDERBUFFERSPROC>("glGenRenderbuffers");
    auto bindRenderbuffer = Extension<PFNGLBINDRENDERBUFFERPROC>("glBindRenderbuffer");
    auto renderbufferStorage = Extension<PFNGLRENDERBUFFERSTORAGEPROC>("glRenderbufferStorage");
    auto framebufferRenderbuffer = Extension<PFNGLFRAMEBUFFERRENDERBUFFERPROC>("glFramebufferRenderbuffer");
    ASSERT_TRUE(genBuffers && bindBuffer && bufferData && genFramebuffers && bindFramebuffer && genRenderbuffers &&
                bindRenderbuffer && renderbufferStorage && framebufferRenderbuffer);

    // A framebuffer object of the same size in another colour: reading it instead would show.
    GLuint fbo = 0, colour = 0, pbo = 0;
    genFramebuffers(1, &fbo);
    genRenderbuffers(1, &colour);
    bindRenderbuffer(GL_RENDERBUFFER, colour);
    renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 161, 97);
    bindFramebuffer(GL_FRAMEBUFFER, fbo);
    framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    bindFramebuffer(GL_FRAMEBUFFER, 0);
    genBuffers(1, &pbo);
    bindBuffer(GL_PIXEL_PACK_BUFFER, pbo);
    bufferData(GL_PIXEL_PACK_BUFFER, 161 * 97 * 4, nullptr, GL_STREAM_READ);
    bindBuffer(GL_PIXEL_PACK_BUFFER, 0);

    Draw(161, 97, 0.8f);
    const TruthFrame truth = ReadBack(161, 97);
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    glReadBuffer(GL_FRONT);
    bindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    bindBuffer(GL_PIXEL_PACK_BUFFER, pbo);
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    glPixelStorei(GL_PACK_ROW_LENGTH, 170);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 3);
    glPixelStorei(GL_PACK_SKIP_ROWS, 2);

    glEnable(0);  // an error of the program's own, pending across the read-back

    FrameReader reader;
    const FramePixels frame = reader.Read(SystemReadBackFunctions(), window.dc(), window.context());
    ExpectSamePixels(frame, truth);

    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_ENUM)) << "the program's error is still its own";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "and the read-back raised none";
    EXPECT_EQ(wglGetCurrentContext(), window.context());
    EXPECT_EQ(wglGetCurrentDC(), window.dc());
    EXPECT_EQ(Integer(GL_READ_FRAMEBUFFER_BINDING), static_cast<GLint>(fbo));
    EXPECT_EQ(Integer(GL_PIXEL_PACK_BUFFER_BINDING), static_cast<GLint>(pbo));
    EXPECT_EQ(Integer(GL_PACK_ALIGNMENT), 8);
    EXPECT_EQ(Integer(GL_PACK_ROW_LENGTH), 170);
    EXPECT_EQ(Integer(GL_PACK_SKIP_PIXELS), 3);
    EXPECT_EQ(Integer(GL_PACK_SKIP_ROWS), 2);
    bindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    EXPECT_EQ(Integer(GL_READ_BUFFER), GL_FRONT) << "the window's read buffer";
}

// The window of another context: that context is made current for the read, and the thread's own
// current context (or none) comes back; the other context's read buffer too.
TEST(FrameReader, ReadsAnotherWindowThroughItsContextAndRestoresTheCurrentOne) {
    // Popup windows: their client areas have exactly the sizes asked for, however small.
    GLWindow small(40, 30, true);
    GLWindow other(120, 90, true);  // current from here on
    ASSERT_EQ(small.error(), "");
    ASSERT_EQ(other.error(), "");
    ASSERT_TRUE(other.SetClientSize(120, 90));
    ASSERT_TRUE(small.SetClientSize(40, 30));
    Draw(120, 90, 0.3f);
    const TruthFrame truth = ReadBack(120, 90);
    glReadBuffer(GL_FRONT);

    FrameReader reader;
    // The current context is the small window's, or there is none.
    for (const bool smallCurrent : {true, false}) {
        ASSERT_TRUE(smallCurrent ? wglMakeCurrent(small.dc(), small.context()) : wglMakeCurrent(nullptr, nullptr));
        const FramePixels frame = reader.Read(SystemReadBackFunctions(), other.dc(), other.context());
        ExpectSamePixels(frame, truth);
        EXPECT_EQ(wglGetCurrentContext(), smallCurrent ? small.context() : nullptr);
        EXPECT_EQ(wglGetCurrentDC(), smallCurrent ? small.dc() : nullptr);
    }
    EXPECT_EQ(reader.capacity(), 120u * 90u);

    // The read buffer the other context had, and a read-back buffer that never shrinks.
    ASSERT_TRUE(wglMakeCurrent(small.dc(), small.context()));
    Draw(40, 30, 0.6f);
    const TruthFrame smallTruth = ReadBack(40, 30);
    ExpectSamePixels(reader.Read(SystemReadBackFunctions(), nullptr, nullptr), smallTruth);
    EXPECT_EQ(reader.capacity(), 120u * 90u);
    ASSERT_TRUE(wglMakeCurrent(other.dc(), other.context()));
    EXPECT_EQ(Integer(GL_READ_BUFFER), GL_FRONT);
}

// Nothing to read, or nothing that may be read now: no pixels, and the application's state unchanged.
TEST(FrameReader, GivesNothingWhereItCannotRead) {
    GLWindow window;
    ASSERT_EQ(window.error(), "");
    FrameReader reader;
    const kestrel::ReadBackFunctions gl = SystemReadBackFunctions();

    // While a display list is compiled: a glReadBuffer would go into the list.
    glReadBuffer(GL_FRONT);
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    EXPECT_FALSE(reader.Read(gl, nullptr, nullptr));
    glEndList();
    glReadBuffer(GL_BACK);
    glCallList(list);
    EXPECT_EQ(Integer(GL_READ_BUFFER), GL_BACK) << "the list holds no read buffer change";
    glDeleteLists(list, 1);

    // A context current on another thread cannot be made current here.
    GLWindow busy;
    ASSERT_EQ(busy.error(), "");
    ASSERT_TRUE(wglMakeCurrent(window.dc(), window.context()));
    HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        wglMakeCurrent(busy.dc(), busy.context());
        SetEvent(taken);
        WaitForSingleObject(done, 60000);
        wglMakeCurrent(nullptr, nullptr);
    });
    WaitForSingleObject(taken, 60000);
    EXPECT_FALSE(reader.Read(gl, busy.dc(), busy.context()));
    EXPECT_EQ(wglGetCurrentContext(), window.context());
    SetEvent(done);
    holder.join();
    CloseHandle(taken);
    CloseHandle(done);

    // No context current and none named.
    ASSERT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_FALSE(reader.Read(gl, nullptr, nullptr));
}
