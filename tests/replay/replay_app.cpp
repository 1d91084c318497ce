// The program the replay tests capture and replay: each mode draws its frames from one kind of data
// that a replay must carry (immediate calls and display lists, client arrays, buffer objects, texture
// uploads, shader programs, shared contexts, two threads, font lists, a depth-tested cube in a pixel
// format chosen as SDL chooses it, a single-buffered window). Every frame differs from the one before
// and follows from the frame number alone, so that a capture's frame images and a replay's can be
// compared byte for byte.
//   replay_app MODE [--frames N]
// MODE: immediate, client-arrays, buffers, textures, shaders, shared, threads, fonts, cube,
// single-buffered. N loop iterations (default 5), each ended by SwapBuffers (single-buffered: by
// glFlush or glFinish); a frame ends at every swap, so `shared` (two windows, one swap each per
// iteration) and `threads` (two threads, N swaps each) make 2N frames. Exits 0 when all frames were
// drawn, 2 on a usage error, 3 with a message when the GL refused something.
#include <windows.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/wglext.h>

#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/support/ModeProgram.h"
#include "tests/support/WindowPixelFormat.h"

namespace {

constexpr int kWidth = 160, kHeight = 120;
constexpr float kAspect = static_cast<float>(kWidth) / kHeight;

using kestrel::test::Failure;
using kestrel::test::Load;
using kestrel::test::Mode;
using kestrel::test::Require;

// How a window's pixel format is chosen. kPlain: ChoosePixelFormat from the tests' descriptor.
// kAsSdl: as SDL chooses it, by wglChoosePixelFormatARB from attributes asking 5 bits a colour and 16
// of depth, with SetPixelFormat handed a descriptor of those sizes, not the chosen format's.
// kSingleBuffered: the plain descriptor without double buffering.
enum class Format { kPlain, kAsSdl, kSingleBuffered };

int ChooseAsSdl(HDC dc);

// A popup window has no frame: its client area is exactly the size asked for.
class Window {
public:
    Window(int x, int y, Format how = Format::kPlain) {
        static const char* const kClass = RegisterOnce();
        hwnd_ = CreateWindowA(kClass, "replay_app", WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, x, y, kWidth, kHeight,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        Require(hwnd_ != nullptr, "CreateWindowA failed");
        dc_ = GetDC(hwnd_);
        RECT client{};
        GetClientRect(hwnd_, &client);
        Require(client.right == kWidth && client.bottom == kHeight, "the client area is not 160x120");
        PIXELFORMATDESCRIPTOR pfd = WindowPixelFormat();
        if (how == Format::kSingleBuffered) pfd.dwFlags &= ~static_cast<DWORD>(PFD_DOUBLEBUFFER);
        int format = 0;
        if (how == Format::kAsSdl) {
            format = ChooseAsSdl(dc_);
            pfd.cColorBits = 15;
            pfd.cRedBits = pfd.cGreenBits = pfd.cBlueBits = 5;
            pfd.cAlphaBits = 0;
            pfd.cDepthBits = 16;
        } else {
            format = ChoosePixelFormat(dc_, &pfd);
        }
        Require(format != 0, "no pixel format was chosen");
        if (how == Format::kSingleBuffered) {
            PIXELFORMATDESCRIPTOR chosen{};
            Require(DescribePixelFormat(dc_, format, sizeof chosen, &chosen) && !(chosen.dwFlags & PFD_DOUBLEBUFFER),
                    "no single-buffered pixel format was chosen");
        }
        Require(SetPixelFormat(dc_, format, &pfd), "SetPixelFormat failed");
    }
    ~Window() {
        if (dc_) ReleaseDC(hwnd_, dc_);
        if (hwnd_) DestroyWindow(hwnd_);
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    HDC dc() const { return dc_; }

private:
    static const char* RegisterOnce() {
        WNDCLASSA wc{};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KestrelReplayApp";
        RegisterClassA(&wc);
        return wc.lpszClassName;
    }

    HWND hwnd_ = nullptr;
    HDC dc_ = nullptr;
};

// Owns a context; released and deleted on the thread that made it.
class Context {
public:
    explicit Context(HGLRC rc) : rc_(rc) {}
    ~Context() {
        if (!rc_) return;
        if (wglGetCurrentContext() == rc_) wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(rc_);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    void MakeCurrent(HDC dc) const { Require(wglMakeCurrent(dc, rc_), "wglMakeCurrent failed"); }

private:
    HGLRC rc_ = nullptr;
};

HGLRC LegacyContext(HDC dc) {
    const HGLRC rc = wglCreateContext(dc);
    Require(rc != nullptr, "wglCreateContext failed");
    return rc;
}

// wglChoosePixelFormatARB is found only through a current context: one on a window of its own.
int ChooseAsSdl(HDC dc) {
    const Window helper(0, 0);
    const Context context(LegacyContext(helper.dc()));
    context.MakeCurrent(helper.dc());
    const auto choose = Load<PFNWGLCHOOSEPIXELFORMATARBPROC>("wglChoosePixelFormatARB");
    const int attributes[] = {WGL_DRAW_TO_WINDOW_ARB, GL_TRUE, WGL_RED_BITS_ARB,    5, WGL_GREEN_BITS_ARB,     5,
                              WGL_BLUE_BITS_ARB,      5,       WGL_DOUBLE_BUFFER_ARB, 1, WGL_DEPTH_BITS_ARB,    16,
                              WGL_SUPPORT_OPENGL_ARB, GL_TRUE, 0};
    int format = 0;
    UINT count = 0;
    Require(choose(dc, attributes, nullptr, 1, &format, &count) && count > 0, "wglChoosePixelFormatARB chose none");
    return format;
}

// A frame ends with its swap; an error the GL raised in the frame would make it differ from the intent.
void EndFrame(HDC dc, const char* mode, int frame) {
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        char text[96];
        std::snprintf(text, sizeof text, "%s: GL error 0x%04X in frame %d", mode, error, frame);
        throw Failure{text};
    }
    Require(SwapBuffers(dc), std::string(mode) + ": SwapBuffers failed");
}

void Ortho() {
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-kAspect, kAspect, -1.0, 1.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void ClearFor(int frame, float red, float blue) {
    glClearColor(red, 0.05f * static_cast<float>(frame % 12), blue, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Texel bytes that change from texel to texel, channel to channel and row to row.
std::uint8_t PatternByte(int x, int y, int channel, int seed) {
    return static_cast<std::uint8_t>((x * 37 + y * 71 + channel * 101 + seed * 53) & 0xFF);
}

struct BufferCalls {
    PFNGLGENBUFFERSPROC gen = Load<PFNGLGENBUFFERSPROC>("glGenBuffers");
    PFNGLBINDBUFFERPROC bind = Load<PFNGLBINDBUFFERPROC>("glBindBuffer");
    PFNGLBUFFERDATAPROC data = Load<PFNGLBUFFERDATAPROC>("glBufferData");
    PFNGLBUFFERSUBDATAPROC subData = Load<PFNGLBUFFERSUBDATAPROC>("glBufferSubData");

    GLuint Make(GLenum target, GLsizeiptr size, const void* contents, GLenum usage) const {
        GLuint buffer = 0;
        gen(1, &buffer);
        bind(target, buffer);
        data(target, size, contents, usage);
        return buffer;
    }
};

const void* Offset(std::size_t bytes) { return reinterpret_cast<const void*>(bytes); }

// ---- immediate: glBegin/glEnd with colours, matrices, a display list compiled once ----

void RunImmediate(int frames) {
    Window window(0, 0);
    Context context(LegacyContext(window.dc()));
    context.MakeCurrent(window.dc());

    // A star of eight points, drawn from the list every frame in a place that moves.
    const GLuint star = glGenLists(1);
    Require(star != 0, "glGenLists returned 0");
    glNewList(star, GL_COMPILE);
    glBegin(GL_TRIANGLE_FAN);
    glColor3ub(255, 255, 255);
    glVertex2f(0.0f, 0.0f);
    for (int i = 0; i <= 16; ++i) {
        const float angle = static_cast<float>(i % 16) * 0.39269908f;
        const float radius = i % 2 ? 0.45f : 1.0f;
        glColor3ub(static_cast<GLubyte>(i * 15), 200, static_cast<GLubyte>(255 - i * 15));
        glVertex2f(radius * std::cos(angle), radius * std::sin(angle));
    }
    glEnd();
    glEndList();

    for (int frame = 0; frame < frames; ++frame) {
        const float f = static_cast<float>(frame);
        Ortho();
        ClearFor(frame, 0.1f, 0.25f);

        glPushMatrix();
        glRotatef(17.0f * f, 0.0f, 0.0f, 1.0f);
        glBegin(GL_TRIANGLES);
        glColor3f(1.0f, 0.2f, 0.1f * f);
        glVertex2f(-0.8f, -0.7f);
        glColor3f(0.2f, 1.0f, 0.3f);
        glVertex2f(0.6f, -0.6f);
        glColor3f(0.2f, 0.3f, 1.0f);
        glVertex2f(-0.1f, 0.8f);
        glColor4f(0.9f, 0.9f, 0.2f, 1.0f);
        glVertex3f(0.1f, 0.1f, 0.5f);
        glVertex3f(0.5f, 0.1f, 0.5f);
        glVertex3f(0.3f, 0.5f - 0.05f * f, 0.5f);
        glEnd();
        glPopMatrix();

        glPushMatrix();
        glTranslatef(-0.9f + 0.12f * f, 0.45f, 0.0f);
        glRotatef(-23.0f * f, 0.0f, 0.0f, 1.0f);
        glScalef(0.3f, 0.25f, 1.0f);
        glBegin(GL_QUADS);
        glColor4ub(250, static_cast<GLubyte>(40 * frame), 90, 255);
        glVertex2i(-1, -1);
        glVertex2i(1, -1);
        glColor4ub(30, 90, 250, 255);
        glVertex2i(1, 1);
        glVertex2i(-1, 1);
        glEnd();
        glPopMatrix();

        glPushMatrix();
        glTranslatef(0.8f, -0.6f + 0.08f * static_cast<float>(frame % 6), 0.0f);
        glScalef(0.3f, 0.3f, 1.0f);
        glCallList(star);
        glPopMatrix();
        EndFrame(window.dc(), "immediate", frame);
    }
    glDeleteLists(star, 1);
}

// ---- client-arrays: pointers into this program's memory, strided, interleaved, indexed ----

// 20 bytes a vertex: position, colour and texture coordinates of one array, so every pointer has a stride.
struct StridedVertex {
    GLfloat x, y;
    GLubyte rgba[4];
    GLfloat s, t;
};
static_assert(sizeof(StridedVertex) == 20);

// A checkerboard whose light squares all differ, so that texture coordinates gone astray show.
GLuint CheckerTexture(int size, int seed) {
    std::vector<std::uint8_t> texels(static_cast<std::size_t>(size) * size * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            for (int c = 0; c < 4; ++c)
                texels[(static_cast<std::size_t>(y) * size + x) * 4 + c] =
                    c == 3 ? 255 : ((x + y) % 2 ? PatternByte(x, y, c, seed) | 0x80 : 0x30);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texture;
}

void RunClientArrays(int frames) {
    Window window(0, 0);
    Context context(LegacyContext(window.dc()));
    context.MakeCurrent(window.dc());
    const GLuint checker = CheckerTexture(8, 1);

    StridedVertex strided[12] = {};
    GLshort tight[10] = {};            // stride 0, short positions
    GLfloat tightColours[5 * 3] = {};  // stride 0
    GLfloat interleaved[8 * 6] = {};   // GL_C3F_V3F: colour, then position
    GLushort shortIndices[6] = {};
    GLubyte byteIndices[9] = {};

    for (int frame = 0; frame < frames; ++frame) {
        const float f = static_cast<float>(frame);
        // Four triangles of three vertices: 3 to 8 are drawn as arrays from a non-zero first, 0 to 2 and
        // 9 to 11 through the short indices.
        for (int v = 0; v < 12; ++v) {
            const int triangle = v / 3, corner = v % 3;
            StridedVertex& s = strided[v];
            s.x = -1.2f + 0.6f * static_cast<float>(triangle) + (corner == 1 ? 0.5f : 0.0f);
            s.y = -0.9f + (corner == 2 ? 0.7f : 0.0f) + 0.04f * f * static_cast<float>(triangle % 2 ? 1 : -1);
            s.rgba[0] = static_cast<GLubyte>(80 + 40 * corner);
            s.rgba[1] = static_cast<GLubyte>(255 - 30 * frame);
            s.rgba[2] = static_cast<GLubyte>(60 * triangle);
            s.rgba[3] = 255;
            s.s = static_cast<float>(corner == 1) * (1.0f + 0.25f * f);
            s.t = static_cast<float>(corner == 2) * 2.0f;
        }
        for (int i = 0; i < 6; ++i) shortIndices[i] = static_cast<GLushort>((i < 3 ? 0 : 9) + (i + frame) % 3);
        for (int v = 0; v < 5; ++v) {
            const float angle = static_cast<float>(v) * 1.2566371f + 0.2f * f;
            tight[v * 2] = static_cast<GLshort>(std::lround(300.0f * std::cos(angle)));
            tight[v * 2 + 1] = static_cast<GLshort>(std::lround(300.0f * std::sin(angle)));
            tightColours[v * 3] = 0.2f * static_cast<float>(v);
            tightColours[v * 3 + 1] = 0.5f;
            tightColours[v * 3 + 2] = 1.0f - 0.1f * f;
        }
        for (int v = 0; v < 8; ++v) {
            GLfloat* at = &interleaved[v * 6];
            at[0] = v % 2 ? 1.0f : 0.3f;
            at[1] = 0.1f * static_cast<float>(v);
            at[2] = 0.15f * f;
            at[3] = 0.4f + 0.12f * static_cast<float>(v % 4) + 0.03f * f;
            at[4] = 0.2f + (v < 4 ? 0.0f : 0.5f) + 0.1f * static_cast<float>(v % 2);
            at[5] = 0.0f;
        }
        // Three triangles over the eight interleaved vertices, in an order that turns with the frame.
        for (int i = 0; i < 9; ++i) byteIndices[i] = static_cast<GLubyte>((i * 3 + frame) % 8);

        Ortho();
        ClearFor(frame, 0.2f, 0.1f);

        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, checker);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(2, GL_FLOAT, sizeof(StridedVertex), &strided[0].x);
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(StridedVertex), strided[0].rgba);
        glTexCoordPointer(2, GL_FLOAT, sizeof(StridedVertex), &strided[0].s);
        glDrawArrays(GL_TRIANGLES, 3, 6);
        glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, shortIndices);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisable(GL_TEXTURE_2D);

        glPushMatrix();
        glTranslatef(0.75f, 0.45f, 0.0f);
        glScalef(0.001f, 0.001f, 1.0f);
        glVertexPointer(2, GL_SHORT, 0, tight);
        glColorPointer(3, GL_FLOAT, 0, tightColours);
        glDrawArrays(GL_TRIANGLE_FAN, 0, 5);
        glPopMatrix();

        glInterleavedArrays(GL_C3F_V3F, 0, interleaved);
        glTranslatef(-1.5f, 0.0f, 0.0f);
        glDrawElements(GL_TRIANGLES, 9, GL_UNSIGNED_BYTE, byteIndices);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        EndFrame(window.dc(), "client-arrays", frame);
    }
    glDeleteTextures(1, &checker);
}

// ---- buffers: buffer objects filled by data, sub-data and two kinds of mapping, and vertex array
// objects, whose binding leaves the array buffer as it was ----

// 12 bytes a vertex in the mapped-range buffer: position and colour interleaved.
struct PackedVertex {
    GLfloat x, y;
    GLubyte rgba[4];
};
static_assert(sizeof(PackedVertex) == 12);

void RunBuffers(int frames) {
    Window window(0, 0);
    Context context(LegacyContext(window.dc()));
    context.MakeCurrent(window.dc());
    const BufferCalls buffers;
    const auto mapBufferRange = Load<PFNGLMAPBUFFERRANGEPROC>("glMapBufferRange");
    const auto mapBuffer = Load<PFNGLMAPBUFFERPROC>("glMapBuffer");
    const auto unmapBuffer = Load<PFNGLUNMAPBUFFERPROC>("glUnmapBuffer");
    const auto genVertexArrays = Load<PFNGLGENVERTEXARRAYSPROC>("glGenVertexArrays");
    const auto bindVertexArray = Load<PFNGLBINDVERTEXARRAYPROC>("glBindVertexArray");
    GLuint vertexArrays[2] = {};
    genVertexArrays(2, vertexArrays);

    // Once by glBufferData: a hexagon's centre and corners, and the indices of four of its triangles
    // after two leading indices that the draw's offset skips.
    GLfloat hexagon[7 * 2] = {0.0f, 0.0f};
    for (int v = 1; v < 7; ++v) {
        hexagon[v * 2] = 0.55f * std::cos(static_cast<float>(v) * 1.0471976f);
        hexagon[v * 2 + 1] = 0.55f * std::sin(static_cast<float>(v) * 1.0471976f);
    }
    const GLuint positions = buffers.Make(GL_ARRAY_BUFFER, sizeof hexagon, hexagon, GL_STATIC_DRAW);
    static const GLushort kIndices[2 + 12] = {6, 6, 0, 1, 2, 0, 2, 3, 0, 4, 5, 0, 5, 6};
    const GLuint elements = buffers.Make(GL_ELEMENT_ARRAY_BUFFER, sizeof kIndices, kIndices, GL_STATIC_DRAW);

    // Colours by glBufferData, then every frame three of the seven by glBufferSubData.
    GLubyte colours[7 * 4];
    for (int i = 0; i < 7 * 4; ++i) colours[i] = i % 4 == 3 ? 255 : PatternByte(i / 4, 0, i % 4, 2);
    const GLuint colourBuffer = buffers.Make(GL_ARRAY_BUFFER, sizeof colours, colours, GL_DYNAMIC_DRAW);

    // Two halves of six vertices: the first filled once, the second mapped with invalidation every frame.
    PackedVertex halves[12] = {};
    for (int v = 0; v < 6; ++v) {
        const int corner = v % 3;
        halves[v] = {-1.25f + 0.35f * static_cast<float>(v / 3) + (corner == 1 ? 0.3f : 0.0f),
                     0.55f + (corner == 2 ? 0.35f : 0.0f), {255, 0, 255, 255}};
    }
    const GLuint ranged = buffers.Make(GL_ARRAY_BUFFER, sizeof halves, halves, GL_DYNAMIC_DRAW);

    // A strip of eight vertices, mapped write-only every frame for its odd vertices alone.
    GLfloat strip[8 * 2];
    for (int v = 0; v < 8; ++v) {
        strip[v * 2] = -1.1f + 0.3f * static_cast<float>(v / 2 * 2) + (v % 2 ? 0.15f : 0.0f);
        strip[v * 2 + 1] = v % 2 ? -0.5f : -0.95f;
    }
    const GLuint mapped = buffers.Make(GL_ARRAY_BUFFER, sizeof strip, strip, GL_STREAM_DRAW);

    for (int frame = 0; frame < frames; ++frame) {
        const float f = static_cast<float>(frame);
        GLubyte changed[3 * 4];
        for (int i = 0; i < 3 * 4; ++i) changed[i] = i % 4 == 3 ? 255 : PatternByte(i / 4, frame, i % 4, 3);
        buffers.bind(GL_ARRAY_BUFFER, colourBuffer);
        buffers.subData(GL_ARRAY_BUFFER, 2 * 4, sizeof changed, changed);

        buffers.bind(GL_ARRAY_BUFFER, ranged);
        auto* half = static_cast<PackedVertex*>(mapBufferRange(GL_ARRAY_BUFFER, 6 * sizeof(PackedVertex),
                                                               6 * sizeof(PackedVertex),
                                                               GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT));
        Require(half != nullptr, "glMapBufferRange returned null");
        for (int v = 0; v < 6; ++v) {
            const int corner = v % 3;
            half[v].x = 0.5f + 0.3f * static_cast<float>(v / 3) + (corner == 1 ? 0.25f : 0.0f) - 0.05f * f;
            half[v].y = 0.3f + (corner == 2 ? 0.5f : 0.0f) - 0.04f * f;
            half[v].rgba[0] = static_cast<GLubyte>(255 - 25 * frame);
            half[v].rgba[1] = static_cast<GLubyte>(100 * corner);
            half[v].rgba[2] = static_cast<GLubyte>(20 * frame);
            half[v].rgba[3] = 255;
        }
        Require(unmapBuffer(GL_ARRAY_BUFFER), "glUnmapBuffer of the ranged buffer failed");

        buffers.bind(GL_ARRAY_BUFFER, mapped);
        auto* stripped = static_cast<GLfloat*>(mapBuffer(GL_ARRAY_BUFFER, GL_WRITE_ONLY));
        Require(stripped != nullptr, "glMapBuffer returned null");
        for (int v = 1; v < 8; v += 2) stripped[v * 2 + 1] = -0.6f + 0.05f * static_cast<float>((frame + v) % 5);
        Require(unmapBuffer(GL_ARRAY_BUFFER), "glUnmapBuffer of the mapped buffer failed");

        Ortho();
        ClearFor(frame, 0.05f, 0.3f);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);

        glPushMatrix();
        glTranslatef(-0.3f, 0.1f, 0.0f);
        glRotatef(11.0f * f, 0.0f, 0.0f, 1.0f);
        buffers.bind(GL_ARRAY_BUFFER, positions);
        glVertexPointer(2, GL_FLOAT, 0, nullptr);
        buffers.bind(GL_ARRAY_BUFFER, colourBuffer);
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, nullptr);
        buffers.bind(GL_ELEMENT_ARRAY_BUFFER, elements);
        glDrawElements(GL_TRIANGLES, 12, GL_UNSIGNED_SHORT, Offset(2 * sizeof(GLushort)));
        glPopMatrix();

        buffers.bind(GL_ARRAY_BUFFER, ranged);
        glVertexPointer(2, GL_FLOAT, sizeof(PackedVertex), Offset(0));
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(PackedVertex), Offset(offsetof(PackedVertex, rgba)));
        glDrawArrays(GL_TRIANGLES, 0, 12);
        glDisableClientState(GL_COLOR_ARRAY);

        buffers.bind(GL_ARRAY_BUFFER, mapped);
        glVertexPointer(2, GL_FLOAT, 0, nullptr);
        glColor3f(0.9f, 0.8f, 0.1f * f);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 8);

        // A buffer bound before a vertex array object is bound stays bound: the pointer is an offset
        // into it (hexagon corners 1 to 3).
        buffers.bind(GL_ARRAY_BUFFER, positions);
        bindVertexArray(vertexArrays[0]);
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(2, GL_FLOAT, 0, Offset(2 * sizeof(GLfloat)));
        glPushMatrix();
        glTranslatef(0.35f, -0.55f + 0.03f * f, 0.0f);
        glColor3f(0.2f, 0.9f - 0.1f * f, 0.6f);
        glDrawArrays(GL_TRIANGLES, 0, 3);
        glPopMatrix();
        // The reverse: a buffer bound in the default object and unbound while another object is
        // current is not bound when the default object comes back: its pointer is client memory.
        const GLfloat corner[3 * 2] = {-0.95f, 0.95f, -0.7f + 0.04f * f, 0.95f, -0.95f, 0.7f};
        bindVertexArray(0);
        buffers.bind(GL_ARRAY_BUFFER, mapped);
        bindVertexArray(vertexArrays[1]);
        buffers.bind(GL_ARRAY_BUFFER, 0);
        bindVertexArray(0);
        glVertexPointer(2, GL_FLOAT, 0, corner);
        glColor3f(1.0f, 0.4f, 0.1f * f);
        glDrawArrays(GL_TRIANGLES, 0, 3);

        glDisableClientState(GL_VERTEX_ARRAY);
        buffers.bind(GL_ARRAY_BUFFER, 0);
        buffers.bind(GL_ELEMENT_ARRAY_BUFFER, 0);
        EndFrame(window.dc(), "buffers", frame);
    }
}

// ---- textures: uploads under unpack state other than the default ----

void UnpackDefaults() {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
}

GLuint NewTexture(GLint minFilter, GLint magFilter, GLint wrap) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    return texture;
}

void TexturedQuad(GLuint texture, float x, float y, float size, float s0, float t0, float s1, float t1) {
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t0);
    glVertex2f(x, y);
    glTexCoord2f(s1, t0);
    glVertex2f(x + size, y);
    glTexCoord2f(s1, t1);
    glVertex2f(x + size, y + size);
    glTexCoord2f(s0, t1);
    glVertex2f(x, y + size);
    glEnd();
}

void RunTextures(int frames) {
    Window window(0, 0);
    Context context(LegacyContext(window.dc()));
    context.MakeCurrent(window.dc());

    // RGB rows of 7 texels are 21 bytes: packed only with an alignment of 1.
    constexpr int kOddWidth = 7, kOddHeight = 5;
    std::vector<std::uint8_t> odd(kOddWidth * kOddHeight * 3);
    for (int y = 0; y < kOddHeight; ++y)
        for (int x = 0; x < kOddWidth; ++x)
            for (int c = 0; c < 3; ++c) odd[(y * kOddWidth + x) * 3 + c] = PatternByte(x, y, c, 4);
    const GLuint oddTexture = NewTexture(GL_NEAREST, GL_NEAREST, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, kOddWidth, kOddHeight, 0, GL_RGB, GL_UNSIGNED_BYTE, odd.data());
    UnpackDefaults();

    // A 12x10 window into a 24x20 RGBA image, 5 texels in and 3 rows down; a border colour outside it.
    constexpr int kBigWidth = 24, kBigHeight = 20;
    std::vector<std::uint8_t> big(kBigWidth * kBigHeight * 4);
    for (int y = 0; y < kBigHeight; ++y)
        for (int x = 0; x < kBigWidth; ++x)
            for (int c = 0; c < 4; ++c) big[(y * kBigWidth + x) * 4 + c] = c == 3 ? 255 : PatternByte(x, y, c, 5);
    const GLuint croppedTexture = NewTexture(GL_LINEAR, GL_LINEAR, GL_CLAMP_TO_BORDER);
    static const GLfloat kBorder[4] = {0.9f, 0.1f, 0.6f, 1.0f};
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, kBorder);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, kBigWidth);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 5);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 3);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 12, 10, 0, GL_RGBA, GL_UNSIGNED_BYTE, big.data());
    UnpackDefaults();

    // A 16x16 texture whose 5x4 RGB patch is replaced every frame, rows padded to 16 bytes by an
    // alignment of 2.
    std::vector<std::uint8_t> base(16 * 16 * 4);
    for (int i = 0; i < 16 * 16 * 4; ++i) base[i] = i % 4 == 3 ? 255 : PatternByte(i / 4 % 16, i / 64, i % 4, 6) / 2;
    const GLuint patchedTexture = NewTexture(GL_NEAREST, GL_NEAREST, GL_REPEAT);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 16, 16, 0, GL_RGBA, GL_UNSIGNED_BYTE, base.data());

    // Luminance rows of 10 bytes, padded to 12 by the default alignment of 4.
    constexpr int kGreyWidth = 10, kGreyHeight = 6, kGreyRow = 12;
    std::uint8_t grey[kGreyRow * kGreyHeight];
    for (int y = 0; y < kGreyHeight; ++y)
        for (int x = 0; x < kGreyRow; ++x) grey[y * kGreyRow + x] = x < kGreyWidth ? PatternByte(x, y, 0, 7) : 0xEE;
    const GLuint greyTexture = NewTexture(GL_NEAREST, GL_NEAREST, GL_MIRRORED_REPEAT);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, kGreyWidth, kGreyHeight, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, grey);

    for (int frame = 0; frame < frames; ++frame) {
        const float f = static_cast<float>(frame);
        std::uint8_t patch[16 * 4] = {};  // 4 rows of 16 bytes, 15 used
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 15; ++x) patch[y * 16 + x] = PatternByte(x, y, 0, 8 + frame);
        glBindTexture(GL_TEXTURE_2D, patchedTexture);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
        glTexSubImage2D(GL_TEXTURE_2D, 0, (3 * frame) % 11, (5 * frame) % 12, 5, 4, GL_RGB, GL_UNSIGNED_BYTE, patch);
        UnpackDefaults();

        Ortho();
        ClearFor(frame, 0.15f, 0.15f);
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glColor3f(1.0f, 1.0f - 0.1f * f, 1.0f);
        TexturedQuad(oddTexture, -1.25f, 0.05f, 0.9f, 0.0f, 0.0f, 1.0f, 1.0f);
        TexturedQuad(croppedTexture, 0.05f, 0.05f, 0.9f, -0.2f + 0.05f * f, -0.2f, 1.2f, 1.2f);
        glColor3f(1.0f, 1.0f, 1.0f);
        TexturedQuad(patchedTexture, -1.25f, -0.95f, 0.9f, 0.0f, 0.0f, 1.0f, 1.0f);
        TexturedQuad(greyTexture, 0.05f, -0.95f, 0.9f, 0.1f * f, 0.0f, 2.0f + 0.1f * f, 2.0f);
        glDisable(GL_TEXTURE_2D);
        EndFrame(window.dc(), "textures", frame);
    }
    const GLuint all[4] = {oddTexture, croppedTexture, patchedTexture, greyTexture};
    glDeleteTextures(4, all);
}

// ---- shaders: a GLSL program with uniforms, a sampler and generic attributes from a buffer ----

struct ShaderCalls {
    PFNGLCREATESHADERPROC createShader = Load<PFNGLCREATESHADERPROC>("glCreateShader");
    PFNGLSHADERSOURCEPROC shaderSource = Load<PFNGLSHADERSOURCEPROC>("glShaderSource");
    PFNGLCOMPILESHADERPROC compileShader = Load<PFNGLCOMPILESHADERPROC>("glCompileShader");
    PFNGLGETSHADERIVPROC getShaderiv = Load<PFNGLGETSHADERIVPROC>("glGetShaderiv");
    PFNGLGETSHADERINFOLOGPROC getShaderInfoLog = Load<PFNGLGETSHADERINFOLOGPROC>("glGetShaderInfoLog");
    PFNGLCREATEPROGRAMPROC createProgram = Load<PFNGLCREATEPROGRAMPROC>("glCreateProgram");
    PFNGLATTACHSHADERPROC attachShader = Load<PFNGLATTACHSHADERPROC>("glAttachShader");
    PFNGLBINDATTRIBLOCATIONPROC bindAttribLocation = Load<PFNGLBINDATTRIBLOCATIONPROC>("glBindAttribLocation");
    PFNGLLINKPROGRAMPROC linkProgram = Load<PFNGLLINKPROGRAMPROC>("glLinkProgram");
    PFNGLGETPROGRAMIVPROC getProgramiv = Load<PFNGLGETPROGRAMIVPROC>("glGetProgramiv");
    PFNGLGETPROGRAMINFOLOGPROC getProgramInfoLog = Load<PFNGLGETPROGRAMINFOLOGPROC>("glGetProgramInfoLog");
    PFNGLUSEPROGRAMPROC useProgram = Load<PFNGLUSEPROGRAMPROC>("glUseProgram");
    PFNGLGETUNIFORMLOCATIONPROC getUniformLocation = Load<PFNGLGETUNIFORMLOCATIONPROC>("glGetUniformLocation");
    PFNGLUNIFORM4FPROC uniform4f = Load<PFNGLUNIFORM4FPROC>("glUniform4f");
    PFNGLUNIFORMMATRIX4FVPROC uniformMatrix4fv = Load<PFNGLUNIFORMMATRIX4FVPROC>("glUniformMatrix4fv");
    PFNGLUNIFORM1IPROC uniform1i = Load<PFNGLUNIFORM1IPROC>("glUniform1i");
    PFNGLVERTEXATTRIBPOINTERPROC vertexAttribPointer = Load<PFNGLVERTEXATTRIBPOINTERPROC>("glVertexAttribPointer");
    PFNGLENABLEVERTEXATTRIBARRAYPROC enableVertexAttribArray =
        Load<PFNGLENABLEVERTEXATTRIBARRAYPROC>("glEnableVertexAttribArray");
    PFNGLACTIVETEXTUREPROC activeTexture = Load<PFNGLACTIVETEXTUREPROC>("glActiveTexture");

    GLuint Compile(GLenum kind, GLsizei count, const GLchar* const* strings, const GLint* lengths) const {
        const GLuint shader = createShader(kind);
        shaderSource(shader, count, strings, lengths);
        compileShader(shader);
        GLint ok = GL_FALSE;
        getShaderiv(shader, GL_COMPILE_STATUS, &ok);
        if (!ok) {
            char log[1024] = {};
            getShaderInfoLog(shader, sizeof log, nullptr, log);
            throw Failure{std::string("a shader did not compile: ") + log};
        }
        return shader;
    }
};

// The body's given length ends before the trailing sentence, which would not compile: a replay that
// passes the text on without its length fails here.
const char kVertexHead[] = "#version 120\n";
const char kVertexBody[] =
    "attribute vec2 position;\n"
    "attribute vec4 colour;\n"
    "uniform mat4 transform;\n"
    "varying vec4 shade;\n"
    "varying vec2 place;\n"
    "void main() {\n"
    "    shade = colour;\n"
    "    place = position * 1.5 + 0.5;\n"
    "    gl_Position = transform * vec4(position, 0.0, 1.0);\n"
    "}\n"
    "This sentence lies past the length given for this string.";
const char kFragmentHead[] =
    "#version 120\n"
    "uniform vec4 tint;\n"
    "uniform sampler2D pattern;\n";
const char kFragmentBody[] =
    "varying vec4 shade;\n"
    "varying vec2 place;\n"
    "void main() {\n"
    "    gl_FragColor = shade * tint * (0.5 + 0.5 * texture2D(pattern, place));\n"
    "}\n";

// Column-major, as glUniformMatrix4fv takes it untransposed: a rotation, a scale and a move in x and y.
void Transform(GLfloat m[16], float angle, float scale, float dx, float dy) {
    const float c = std::cos(angle) * scale, s = std::sin(angle) * scale;
    const GLfloat values[16] = {c / kAspect, s, 0, 0, -s / kAspect, c, 0, 0, 0, 0, 1, 0, dx, dy, 0, 1};
    std::memcpy(m, values, sizeof values);
}

void RunShaders(int frames) {
    Window window(0, 0);
    Context context(LegacyContext(window.dc()));
    context.MakeCurrent(window.dc());
    const ShaderCalls gl;
    const BufferCalls buffers;

    const GLchar* vertexStrings[2] = {kVertexHead, kVertexBody};
    const GLint vertexLengths[2] = {-1, static_cast<GLint>(std::strstr(kVertexBody, "This sentence") - kVertexBody)};
    const GLuint vertexShader = gl.Compile(GL_VERTEX_SHADER, 2, vertexStrings, vertexLengths);
    const GLchar* fragmentStrings[2] = {kFragmentHead, kFragmentBody};
    const GLuint fragmentShader = gl.Compile(GL_FRAGMENT_SHADER, 2, fragmentStrings, nullptr);

    const GLuint program = gl.createProgram();
    gl.attachShader(program, vertexShader);
    gl.attachShader(program, fragmentShader);
    // Generic attribute 0 stands for the vertex in a compatibility context, so the position takes it.
    constexpr GLuint kPosition = 0, kColour = 5;
    gl.bindAttribLocation(program, kPosition, "position");
    gl.bindAttribLocation(program, kColour, "colour");
    gl.linkProgram(program);
    GLint linked = GL_FALSE;
    gl.getProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        char log[1024] = {};
        gl.getProgramInfoLog(program, sizeof log, nullptr, log);
        throw Failure{std::string("the program did not link: ") + log};
    }
    const GLint transform = gl.getUniformLocation(program, "transform");
    const GLint tint = gl.getUniformLocation(program, "tint");
    const GLint pattern = gl.getUniformLocation(program, "pattern");
    Require(transform >= 0 && tint >= 0 && pattern >= 0, "a uniform has no location");

    // A hexagon fan, position and normalised byte colour interleaved.
    PackedVertex fan[8];
    fan[0] = {0.0f, 0.0f, {255, 255, 255, 255}};
    for (int v = 1; v < 8; ++v) {
        const float angle = static_cast<float>(v - 1) * 1.0471976f;
        fan[v] = {0.5f * std::cos(angle), 0.5f * std::sin(angle),
                  {PatternByte(v, 0, 0, 9), PatternByte(v, 0, 1, 9), PatternByte(v, 0, 2, 9), 255}};
    }
    buffers.Make(GL_ARRAY_BUFFER, sizeof fan, fan, GL_STATIC_DRAW);
    gl.vertexAttribPointer(kPosition, 2, GL_FLOAT, GL_FALSE, sizeof(PackedVertex), Offset(0));
    gl.vertexAttribPointer(kColour, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(PackedVertex),
                           Offset(offsetof(PackedVertex, rgba)));
    gl.enableVertexAttribArray(kPosition);
    gl.enableVertexAttribArray(kColour);

    gl.activeTexture(GL_TEXTURE1);
    const GLuint checker = CheckerTexture(4, 10);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    gl.activeTexture(GL_TEXTURE0);

    gl.useProgram(program);
    gl.uniform1i(pattern, 1);
    for (int frame = 0; frame < frames; ++frame) {
        const float f = static_cast<float>(frame);
        glViewport(0, 0, kWidth, kHeight);
        ClearFor(frame, 0.0f, 0.2f);
        for (int copy = 0; copy < 2; ++copy) {
            GLfloat m[16];
            Transform(m, 0.3f * f * (copy ? -1.0f : 1.0f), copy ? 0.8f : 1.1f, copy ? 0.45f : -0.4f,
                      0.1f * f - (copy ? 0.3f : 0.0f));
            gl.uniformMatrix4fv(transform, 1, GL_FALSE, m);
            gl.uniform4f(tint, 1.0f, copy ? 0.5f : 1.0f - 0.12f * f, 0.6f + 0.08f * f, 1.0f);
            glDrawArrays(GL_TRIANGLE_FAN, 0, 8);
        }
        EndFrame(window.dc(), "shaders", frame);
    }
    gl.useProgram(0);
    glDeleteTextures(1, &checker);
}

// ---- shared: two windows, two contexts sharing a texture and a buffer made in the first ----

void RunShared(int frames) {
    Window first(0, 0), second(200, 0);
    // wglCreateContextAttribsARB is reached through a current context: a throwaway one.
    PFNWGLCREATECONTEXTATTRIBSARBPROC createContextAttribs = nullptr;
    {
        Context bootstrap(LegacyContext(first.dc()));
        bootstrap.MakeCurrent(first.dc());
        createContextAttribs = reinterpret_cast<PFNWGLCREATECONTEXTATTRIBSARBPROC>(
            reinterpret_cast<void*>(wglGetProcAddress("wglCreateContextAttribsARB")));
    }
    static const int kAttributes[] = {WGL_CONTEXT_MAJOR_VERSION_ARB, 2, WGL_CONTEXT_MINOR_VERSION_ARB, 1, 0};
    HGLRC firstRc = nullptr, secondRc = nullptr;
    if (createContextAttribs) {
        firstRc = createContextAttribs(first.dc(), nullptr, kAttributes);
        Require(firstRc != nullptr, "wglCreateContextAttribsARB failed for the first context");
        secondRc = createContextAttribs(second.dc(), firstRc, kAttributes);
        Require(secondRc != nullptr, "wglCreateContextAttribsARB failed for the shared context");
    } else {
        firstRc = LegacyContext(first.dc());
        secondRc = LegacyContext(second.dc());
        Require(wglShareLists(firstRc, secondRc), "wglShareLists failed");
    }
    const Context firstContext(firstRc), secondContext(secondRc);

    firstContext.MakeCurrent(first.dc());
    const BufferCalls buffers;
    const GLuint texture = CheckerTexture(8, 11);
    GLfloat quad[4 * 4];  // x, y, s, t
    for (int v = 0; v < 4; ++v) {
        const float s = v == 1 || v == 2 ? 1.0f : 0.0f, t = v >= 2 ? 1.0f : 0.0f;
        quad[v * 4] = -0.6f + 1.2f * s;
        quad[v * 4 + 1] = -0.6f + 1.2f * t;
        quad[v * 4 + 2] = s;
        quad[v * 4 + 3] = t;
    }
    const GLuint buffer = buffers.Make(GL_ARRAY_BUFFER, sizeof quad, quad, GL_DYNAMIC_DRAW);

    // Only the objects are shared: each context sets up its own array pointers and texture state.
    auto drawQuad = [&](float angle, float grey) {
        buffers.bind(GL_ARRAY_BUFFER, buffer);
        glVertexPointer(2, GL_FLOAT, 4 * sizeof(GLfloat), Offset(0));
        glTexCoordPointer(2, GL_FLOAT, 4 * sizeof(GLfloat), Offset(2 * sizeof(GLfloat)));
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
        glColor3f(grey, 1.0f, grey);
        glRotatef(angle, 0.0f, 0.0f, 1.0f);
        glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
        glDisable(GL_TEXTURE_2D);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        buffers.bind(GL_ARRAY_BUFFER, 0);
    };

    for (int frame = 0; frame < frames; ++frame) {
        const float f = static_cast<float>(frame);
        firstContext.MakeCurrent(first.dc());
        // The first context changes both shared objects; the second draws with what it changed.
        GLubyte texels[2 * 2 * 4];
        for (int i = 0; i < 16; ++i) texels[i] = i % 4 == 3 ? 255 : PatternByte(i / 4, frame, i % 4, 12);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexSubImage2D(GL_TEXTURE_2D, 0, frame % 7, 3, 2, 2, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        const GLfloat corner[2] = {0.6f - 0.1f * f, 0.6f};
        buffers.bind(GL_ARRAY_BUFFER, buffer);
        buffers.subData(GL_ARRAY_BUFFER, 2 * 4 * sizeof(GLfloat), sizeof corner, corner);
        Ortho();
        ClearFor(frame, 0.3f, 0.0f);
        drawQuad(9.0f * f, 0.5f);
        EndFrame(first.dc(), "shared, first window", frame);

        secondContext.MakeCurrent(second.dc());
        Ortho();
        ClearFor(frame, 0.0f, 0.3f);
        drawQuad(-14.0f * f, 1.0f);
        EndFrame(second.dc(), "shared, second window", frame);
    }
    firstContext.MakeCurrent(first.dc());
    glDeleteTextures(1, &texture);
    wglMakeCurrent(nullptr, nullptr);
}

// ---- threads: two threads drawing into windows of their own at the same time ----

// Each frame starts on both threads at once; a thread that gives up leaves, so the other never waits for it.
class FrameGate {
public:
    explicit FrameGate(int threads) : parties_(threads) {}
    void Arrive() {
        std::unique_lock<std::mutex> lock(mutex_);
        const unsigned round = round_;
        if (++arrived_ >= parties_) {
            Open();
            return;
        }
        opened_.wait(lock, [&] { return round_ != round; });
    }
    void Leave() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (--parties_ > 0 && arrived_ >= parties_) Open();
    }

private:
    void Open() {
        arrived_ = 0;
        ++round_;
        opened_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable opened_;
    int parties_;
    int arrived_ = 0;
    unsigned round_ = 0;
};

// Many small draws a frame, so that the two threads' calls interleave.
void DrawThreadFrame(int thread, int frame) {
    const float f = static_cast<float>(frame);
    Ortho();
    ClearFor(frame, thread ? 0.0f : 0.35f, thread ? 0.35f : 0.0f);
    glRotatef((thread ? -8.0f : 8.0f) * f, 0.0f, 0.0f, 1.0f);
    for (int cell = 0; cell < 24; ++cell) {
        const float x = -1.2f + 0.4f * static_cast<float>(cell % 6), y = -0.8f + 0.4f * static_cast<float>(cell / 6);
        const float size = 0.1f + 0.02f * static_cast<float>((cell + frame) % 6);
        glBegin(GL_QUADS);
        if (thread)
            glColor3ub(40, static_cast<GLubyte>(cell * 10), static_cast<GLubyte>(255 - frame * 20));
        else
            glColor3ub(static_cast<GLubyte>(255 - frame * 20), static_cast<GLubyte>(cell * 10), 40);
        glVertex2f(x, y);
        glVertex2f(x + size, y);
        glVertex2f(x + size, y + size);
        glVertex2f(x, y + size);
        glEnd();
    }
}

void ThreadFrames(int thread, int frames, FrameGate& gate, std::string& error) {
    try {
        Window window(thread * 200, 150);
        Context context(LegacyContext(window.dc()));
        context.MakeCurrent(window.dc());
        for (int frame = 0; frame < frames; ++frame) {
            gate.Arrive();
            DrawThreadFrame(thread, frame);
            EndFrame(window.dc(), thread ? "threads, second thread" : "threads, first thread", frame);
        }
    } catch (const Failure& e) {
        error = e.what;
    }
    gate.Leave();
}

void RunThreads(int frames) {
    FrameGate gate(2);
    std::string errors[2];
    std::thread first(ThreadFrames, 0, frames, std::ref(gate), std::ref(errors[0]));
    std::thread second(ThreadFrames, 1, frames, std::ref(gate), std::ref(errors[1]));
    first.join();
    second.join();
    for (const std::string& error : errors) Require(error.empty(), error);
}

// ---- fonts: display lists of a font's glyphs, drawn as text ----

void RunFonts(int frames) {
    Window window(0, 0);
    Context context(LegacyContext(window.dc()));
    context.MakeCurrent(window.dc());
    // The glyphs come from the font selected into the device context when the lists are made.
    const HFONT font = CreateFontA(-18, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH, "Arial");
    Require(font != nullptr, "CreateFontA failed");
    const HGDIOBJ previous = SelectObject(window.dc(), font);
    const GLuint bitmaps = glGenLists(96);
    Require(bitmaps != 0, "glGenLists returned 0");
    Require(wglUseFontBitmapsA(window.dc(), 32, 96, bitmaps), "wglUseFontBitmapsA failed");
    // Wine's wglUseFontBitmapsA leaves a GL_OUT_OF_MEMORY behind although it makes the lists.
    while (glGetError() != GL_NO_ERROR) {
    }
    SelectObject(window.dc(), previous);
    DeleteObject(font);

    for (int frame = 0; frame < frames; ++frame) {
        Ortho();
        ClearFor(frame, 0.15f, 0.1f);
        char text[32];
        const int length = std::snprintf(text, sizeof text, "Frame %d", frame + 1);
        glColor3f(1.0f, 0.9f, 0.2f);
        glRasterPos2f(-1.2f + 0.1f * static_cast<float>(frame), 0.5f);
        glListBase(bitmaps - 32);
        glCallLists(length, GL_UNSIGNED_BYTE, text);
        glColor3f(0.3f, 0.8f, 1.0f);
        glRasterPos2f(-0.6f, -0.3f - 0.05f * static_cast<float>(frame));
        glCallLists(length, GL_UNSIGNED_BYTE, text);
        EndFrame(window.dc(), "fonts", frame);
    }
    glDeleteLists(bitmaps, 96);
}

// ---- cube: a spinning cube of colour arrays, as SDL's testgl2 draws it ----

// The cube's corners and their colours, and its six faces as quads of corners.
const GLfloat kCubeColours[8][3] = {{1, 1, 0}, {1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 0, 1}, {0, 0, 1}};
const GLfloat kCubeCorners[8][3] = {{0.5f, 0.5f, -0.5f}, {0.5f, -0.5f, -0.5f}, {-0.5f, -0.5f, -0.5f},
                                    {-0.5f, 0.5f, -0.5f}, {-0.5f, 0.5f, 0.5f},  {0.5f, 0.5f, 0.5f},
                                    {0.5f, -0.5f, 0.5f},  {-0.5f, -0.5f, 0.5f}};
const GLubyte kCubeFaces[24] = {0, 1, 2, 3, 3, 4, 7, 2, 0, 5, 6, 1, 5, 4, 7, 6, 5, 0, 3, 4, 6, 1, 2, 7};

// The pixel format is chosen as SDL chooses it. The modelview matrix turns by 5 degrees a frame and
// is never loaded again, so each frame's picture rests on every rotation before it; edges where the
// depth test decides between two faces show any difference in the depth buffer's precision. A
// second, smaller cube is drawn with glColor3fv and glVertex3fv between glBegin and glEnd.
void RunCube(int frames) {
    Window window(0, 0, Format::kAsSdl);
    Context context(LegacyContext(window.dc()));
    context.MakeCurrent(window.dc());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2.0 * kAspect, 2.0 * kAspect, -2.0, 2.0, -20.0, 20.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glShadeModel(GL_SMOOTH);

    for (int frame = 0; frame < frames; ++frame) {
        glViewport(0, 0, kWidth, kHeight);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, kCubeCorners);
        glColorPointer(3, GL_FLOAT, 0, kCubeColours);
        glDrawElements(GL_QUADS, 24, GL_UNSIGNED_BYTE, kCubeFaces);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);

        glPushMatrix();
        glTranslatef(1.6f, -1.2f, 0.0f);
        glScalef(0.6f, 0.6f, 0.6f);
        glBegin(GL_QUADS);
        for (const GLubyte corner : kCubeFaces) {
            glColor3fv(kCubeColours[corner]);
            glVertex3fv(kCubeCorners[corner]);
        }
        glEnd();
        glPopMatrix();
        // Two squares 1/10,000 apart in depth, the nearer drawn last: in 16 bits of depth both lie
        // within one step (0.625 and 0.789 of a step above 37,682, rounded or cut alike) and the
        // first stays; 24 or 32 bits show the second. SDL's descriptor says 16 while the format it
        // chose has 32, so this shows which of the two a window really has.
        glPushMatrix();
        glLoadIdentity();
        glBegin(GL_QUADS);
        for (const auto& [z, red, green] : {std::tuple{-3.0001f, 1.0f, 0.0f}, std::tuple{-3.0f, 0.0f, 1.0f}}) {
            glColor3f(red, green, 0.0f);
            glVertex3f(-2.5f, 1.3f, z);
            glVertex3f(-1.8f, 1.3f, z);
            glVertex3f(-1.8f, 1.9f, z);
            glVertex3f(-2.5f, 1.9f, z);
        }
        glEnd();
        glPopMatrix();
        glRotatef(5.0f, 1.0f, 1.0f, 1.0f);
        EndFrame(window.dc(), "cube", frame);
    }
}

// ---- single-buffered: a window without a back buffer, its frames ended by glFlush and glFinish ----

void RunSingleBuffered(int frames) {
    Window window(0, 0, Format::kSingleBuffered);
    Context context(LegacyContext(window.dc()));
    context.MakeCurrent(window.dc());
    // Set-up flushes before anything is drawn end no frame.
    glFlush();
    glFinish();
    for (int frame = 0; frame < frames; ++frame) {
        const float f = static_cast<float>(frame);
        Ortho();
        ClearFor(frame, 0.3f, 0.2f);
        glRotatef(11.0f * f, 0.0f, 0.0f, 1.0f);
        glBegin(GL_TRIANGLES);
        glColor3f(1.0f, 0.5f, 0.05f * f);
        glVertex2f(-0.7f, -0.6f);
        glColor3f(0.1f, 0.9f, 0.4f);
        glVertex2f(0.7f, -0.5f);
        glColor3f(0.3f, 0.2f, 1.0f);
        glVertex2f(0.0f, 0.75f);
        glEnd();
        const GLenum error = glGetError();
        Require(error == GL_NO_ERROR, "single-buffered: a GL error in frame " + std::to_string(frame));
        // Both end a frame; a second flush with nothing drawn since ends none.
        if (frame % 2) {
            glFinish();
        } else {
            glFlush();
            glFlush();
        }
    }
}

const Mode kModes[] = {
    {"immediate", RunImmediate}, {"client-arrays", RunClientArrays}, {"buffers", RunBuffers},
    {"textures", RunTextures},   {"shaders", RunShaders},            {"shared", RunShared},
    {"threads", RunThreads},     {"fonts", RunFonts},                {"cube", RunCube},
    {"single-buffered", RunSingleBuffered},
};

}  // namespace

int main(int argc, char** argv) { return kestrel::test::RunModeProgram(argc, argv, "replay_app", kModes); }
