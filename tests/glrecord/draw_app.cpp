// An OpenGL program with a real context whose capture the draw tests check byte for byte: windows and
// a memory bitmap as drawables, contexts, client arrays, indexed and indirect draws. Each case opens
// with glPassThrough(its number) and closes with glPassThrough(-1); what the test must know (addresses,
// array contents, what the GL itself drew) goes into the report.
//   draw_app REPORT
#include <windows.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/wglext.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/glrecord/DrawCases.h"
#include "tests/glrecord/support/Report.h"
#include "tests/support/WindowPixelFormat.h"

extern "C" int WINAPI wglChoosePixelFormat(HDC, const PIXELFORMATDESCRIPTOR*);
extern "C" BOOL WINAPI wglSetPixelFormat(HDC, int, const PIXELFORMATDESCRIPTOR*);
extern "C" int WINAPI wglGetPixelFormat(HDC);

namespace {

ReportWriter* g_report = nullptr;

void Open(drawcases::Case c) { glPassThrough(static_cast<GLfloat>(c)); }
void Close() { glPassThrough(-1.0f); }

void Put(const char* scope, const char* key, const void* address) { g_report->Put(scope, key, address); }
void Put(const char* scope, const char* key, std::uint32_t value) { g_report->Put(scope, key, value); }
void PutBytes(const char* scope, const char* key, const void* data, std::size_t size) {
    g_report->PutBytes(scope, key, data, size);
}

int Fail(const char* what) {
    std::fprintf(stderr, "draw_app: %s\n", what);
    if (g_report) g_report->Put("all", "failed", what);
    return 3;
}

template <class Fn>
Fn Ext(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(wglGetProcAddress(name)));
}

const char* const kClass = "KestrelDrawApp";

HWND MakeWindow(DWORD style, int x, int y, int width, int height) {
    return CreateWindowA(kClass, "draw_app", style, x, y, width, height, nullptr, nullptr, GetModuleHandleA(nullptr),
                         nullptr);
}

// The drawable record the capture must hold for a window's device context now.
void ReportWindowDrawable(const char* scope, HWND window, HDC dc, bool fullScreen) {
    RECT client{};
    GetClientRect(window, &client);
    if (!fullScreen) {
        POINT corners[2] = {{client.left, client.top}, {client.right, client.bottom}};
        ClientToScreen(window, &corners[0]);
        ClientToScreen(window, &corners[1]);
        client = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    }
    LOGFONTA font{};
    GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof font, &font);
    Put(scope, "window", window);
    Put(scope, "dc", dc);
    PutBytes(scope, "rect", &client, sizeof client);
    PutBytes(scope, "font", &font, sizeof font);
}

// Row 0 after a draw of points whose vertex i lies on pixel column i: the first and last columns lit.
bool DrawnColumns(int width, std::uint32_t* first, std::uint32_t* last) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 4);
    glReadPixels(0, 0, width, 1, GL_RGBA, GL_UNSIGNED_BYTE, row.data());
    bool any = false;
    for (int x = 0; x < width; ++x) {
        if (row[static_cast<std::size_t>(x) * 4] < 128) continue;
        if (!any) *first = static_cast<std::uint32_t>(x);
        *last = static_cast<std::uint32_t>(x);
        any = true;
    }
    return any;
}

}  // namespace

int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_app REPORT\n");
        return 2;
    }
    ReportWriter report(argv[1]);
    if (!report.ok()) return 2;
    g_report = &report;
    using namespace drawcases;

    WNDCLASSA wc{};
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);
    HWND window = MakeWindow(WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 40, 40, 200, 200);
    if (!window) return Fail("CreateWindowA failed");
    ShowWindow(window, SW_SHOW);
    HDC dc = GetDC(window);

    // ---- drawables and contexts ----
    const PIXELFORMATDESCRIPTOR pfd = WindowPixelFormat();
    Open(kFirstWglCall);
    const int format = wglChoosePixelFormat(dc, &pfd);
    Close();
    if (format == 0) return Fail("wglChoosePixelFormat gave no format");
    ReportWindowDrawable("first", window, dc, false);
    Put("first", "format", static_cast<std::uint32_t>(format));
    PutBytes("first", "pfd", &pfd, 40);

    Open(kSecondWglCall);
    const BOOL set = wglSetPixelFormat(dc, format, &pfd);
    Close();
    if (!set) return Fail("wglSetPixelFormat failed");
    PIXELFORMATDESCRIPTOR windowFormat{};
    if (!DescribePixelFormat(dc, format, sizeof windowFormat, &windowFormat)) return Fail("DescribePixelFormat failed");
    PutBytes("first", "described", &windowFormat, 40);

    Open(kCreateContext);
    HGLRC rc = wglCreateContext(dc);
    Close();
    if (!rc) return Fail("wglCreateContext failed");
    Put("create", "rc", rc);
    RECT client{};
    GetClientRect(window, &client);
    PutBytes("create", "rect", &client, sizeof client);

    Open(kMakeCurrent);
    const BOOL current = wglMakeCurrent(dc, rc);
    Close();
    if (!current) return Fail("wglMakeCurrent failed");

    MoveWindow(window, 70, 55, 200, 200, TRUE);
    Open(kViewportAfterMove);
    glViewport(0, 0, 160, 160);
    Close();
    ReportWindowDrawable("moved", window, dc, false);

    // A context made with attributes, with and without a list.
    auto createWithAttributes = Ext<PFNWGLCREATECONTEXTATTRIBSARBPROC>("wglCreateContextAttribsARB");
    if (!createWithAttributes) return Fail("no wglCreateContextAttribsARB");
    static const int kAttributes[] = {WGL_CONTEXT_MAJOR_VERSION_ARB, 3, WGL_CONTEXT_MINOR_VERSION_ARB, 0, 0};
    Open(kAttributeList);
    HGLRC withList = createWithAttributes(dc, nullptr, kAttributes);
    Close();
    Open(kNoAttributeList);
    HGLRC withoutList = createWithAttributes(dc, nullptr, nullptr);
    Close();
    Put("attributes", "list", kAttributes);
    Put("attributes", "withList", withList);
    Put("attributes", "withoutList", withoutList);
    if (withList) wglDeleteContext(withList);
    if (withoutList) wglDeleteContext(withoutList);

    // ---- client arrays and draws ----
    const std::vector<float> points = PointsVertices();  // vertex i on pixel column i of row 0
    const std::vector<float> spaced = SpacedVertices();  // 16-byte stride, 12-byte vertices
    const std::vector<float> interleaved = InterleavedT2fV3f();
    Put("arrays", "points", points.data());
    Put("arrays", "spaced", spaced.data());
    Put("arrays", "interleaved", interleaved.data());

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 160, 0, 160, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(1, 1, 1);
    glClearColor(0, 0, 0, 1);

    glVertexPointer(3, GL_FLOAT, 0, points.data());
    glEnableClientState(GL_VERTEX_ARRAY);
    Open(kTightVertices);
    glDrawArrays(GL_POINTS, 0, 4);
    Close();

    glVertexPointer(3, GL_FLOAT, 16, spaced.data());
    Open(kStridedVertices);
    glDrawArrays(GL_POINTS, 10, 5);
    Close();

    glInterleavedArrays(GL_T2F_V3F, 0, interleaved.data());
    Open(kInterleaved);
    glDrawArrays(GL_POINTS, 0, 4);
    Close();
    glVertexPointer(3, GL_FLOAT, 0, points.data());
    Open(kInterleavedThenVertex);
    glDrawArrays(GL_POINTS, 0, 4);
    Close();
    glTexCoordPointer(2, GL_FLOAT, 0, points.data());  // the interleaved array now stands for nothing
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);

    auto genBuffers = Ext<PFNGLGENBUFFERSPROC>("glGenBuffers");
    auto bindBuffer = Ext<PFNGLBINDBUFFERPROC>("glBindBuffer");
    auto bufferData = Ext<PFNGLBUFFERDATAPROC>("glBufferData");
    auto deleteBuffers = Ext<PFNGLDELETEBUFFERSPROC>("glDeleteBuffers");
    if (!genBuffers || !bindBuffer || !bufferData || !deleteBuffers) return Fail("no buffer object functions");
    GLuint buffers[3] = {};
    genBuffers(3, buffers);
    bindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    bufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(points.size() * sizeof(float)), points.data(), GL_STATIC_DRAW);
    glVertexPointer(3, GL_FLOAT, 0, reinterpret_cast<const void*>(12));  // an offset into the buffer
    bindBuffer(GL_ARRAY_BUFFER, 0);
    Open(kVerticesInBuffer);
    glDrawArrays(GL_POINTS, 0, 4);
    Close();

    // The array-buffer binding is the context's: a vertex array object bound after the buffer leaves
    // it bound, and one bound later brings back no buffer it saw before.
    auto genVertexArrays = Ext<PFNGLGENVERTEXARRAYSPROC>("glGenVertexArrays");
    auto bindVertexArray = Ext<PFNGLBINDVERTEXARRAYPROC>("glBindVertexArray");
    auto deleteVertexArrays = Ext<PFNGLDELETEVERTEXARRAYSPROC>("glDeleteVertexArrays");
    if (!genVertexArrays || !bindVertexArray || !deleteVertexArrays) return Fail("no vertex array objects");
    GLuint vertexArrays[2] = {};
    genVertexArrays(2, vertexArrays);
    bindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    bindVertexArray(vertexArrays[0]);
    glVertexPointer(3, GL_FLOAT, 0, reinterpret_cast<const void*>(12));  // an offset into buffers[0]
    glEnableClientState(GL_VERTEX_ARRAY);
    bindBuffer(GL_ARRAY_BUFFER, 0);
    Open(kBufferThenNewVertexArray);
    glDrawArrays(GL_POINTS, 0, 4);
    Close();
    // The reverse: a buffer bound in the default object and unbound while another is current is not
    // bound when the default object comes back. (Only the default object takes client arrays.)
    bindVertexArray(0);
    bindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    bindVertexArray(vertexArrays[1]);
    bindBuffer(GL_ARRAY_BUFFER, 0);
    bindVertexArray(0);
    glVertexPointer(3, GL_FLOAT, 0, points.data());  // client memory: no buffer is bound
    Open(kVertexArrayThenClientArray);
    glDrawArrays(GL_POINTS, 0, 4);
    Close();
    deleteVertexArrays(2, vertexArrays);
    glVertexPointer(3, GL_FLOAT, 0, points.data());

    static const GLushort kIndices[] = {7, 3, 9};
    Put("indices", "client", kIndices);
    Open(kClientIndices);
    glDrawElements(GL_POINTS, 3, GL_UNSIGNED_SHORT, kIndices);
    Close();

    bindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    bufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof kIndices, kIndices, GL_STATIC_DRAW);
    Open(kBufferIndices);
    glDrawElements(GL_POINTS, 3, GL_UNSIGNED_SHORT, nullptr);
    Close();

    // Client memory that ends in a page the program may not read: the GL reads no colour index in
    // RGBA mode, the recorder reads what it can.
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    auto* pages = static_cast<std::uint8_t*>(
        VirtualAlloc(nullptr, 2 * system.dwPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!pages) return Fail("VirtualAlloc failed");
    float* edge = reinterpret_cast<float*>(pages + system.dwPageSize - 2 * sizeof(float));
    edge[0] = 1.25f;
    edge[1] = 2.5f;
    DWORD oldProtection = 0;
    VirtualProtect(pages + system.dwPageSize, system.dwPageSize, PAGE_NOACCESS, &oldProtection);
    Put("unreadable", "index", edge);
    bindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glIndexPointer(GL_FLOAT, 0, edge);
    glEnableClientState(GL_INDEX_ARRAY);
    Open(kUnreadable);
    glDrawArrays(GL_POINTS, 0, 4);
    Close();
    glDisableClientState(GL_INDEX_ARRAY);
    Put("unreadable", "survived", 1u);

    // Ranges against what the GL draws: vertex i lights pixel column i of row 0.
    auto primitiveRestartIndex = Ext<PFNGLPRIMITIVERESTARTINDEXPROC>("glPrimitiveRestartIndex");
    auto drawArraysIndirect = Ext<PFNGLDRAWARRAYSINDIRECTPROC>("glDrawArraysIndirect");
    auto multiDrawArrays = Ext<PFNGLMULTIDRAWARRAYSPROC>("glMultiDrawArrays");
    if (!primitiveRestartIndex || !drawArraysIndirect || !multiDrawArrays) return Fail("no GL 4 draw functions");
    auto measure = [&](const char* scope) {
        glFinish();
        std::uint32_t first = 0, last = 0;
        if (DrawnColumns(160, &first, &last)) {
            Put(scope, "drawnFirst", first);
            Put(scope, "drawnLast", last);
        }
        Put(scope, "error", glGetError());
    };
    static const GLushort kSpread[] = {40, 12, 25, 33};
    static const GLushort kRestarted[] = {50, 0xFFFF, 20, 30};
    bindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    bufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof kSpread, kSpread, GL_STATIC_DRAW);
    glClear(GL_COLOR_BUFFER_BIT);
    Open(kReadBackIndices);
    glDrawElements(GL_POINTS, 4, GL_UNSIGNED_SHORT, nullptr);
    Close();
    measure("readback");

    bufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof kRestarted, kRestarted, GL_STATIC_DRAW);
    glEnable(GL_PRIMITIVE_RESTART);
    primitiveRestartIndex(0xFFFF);
    glClear(GL_COLOR_BUFFER_BIT);
    Open(kReadBackRestart);
    glDrawElements(GL_POINTS, 4, GL_UNSIGNED_SHORT, nullptr);
    Close();
    measure("restart");
    glDisable(GL_PRIMITIVE_RESTART);
    bindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);

    static const GLuint kCommand[] = {5, 1, 60, 0};  // count, instances, first, base instance
    bindBuffer(GL_DRAW_INDIRECT_BUFFER, buffers[2]);
    bufferData(GL_DRAW_INDIRECT_BUFFER, sizeof kCommand, kCommand, GL_STATIC_DRAW);
    glClear(GL_COLOR_BUFFER_BIT);
    Open(kIndirectFromBuffer);
    drawArraysIndirect(GL_POINTS, nullptr);
    Close();
    measure("indirect");
    bindBuffer(GL_DRAW_INDIRECT_BUFFER, 0);

    // A multi-draw the GL refuses records no draws, and the program still sees its error.
    static const GLint kFirsts[] = {0, 4};
    static const GLsizei kCounts[] = {2, 2};
    Put("multi", "firsts", kFirsts);
    Put("multi", "counts", kCounts);
    Open(kMultiDraw);
    multiDrawArrays(GL_POINTS, kFirsts, kCounts, 2);
    Close();
    Put("multi", "error", glGetError());
    Open(kRefusedMultiDraw);
    multiDrawArrays(GL_POINTS, kFirsts, kCounts, -1);
    Close();
    Put("refused", "error", glGetError());

    deleteBuffers(3, buffers);

    // Without a current context the thread maps to none: a draw then reaches no client memory.
    Open(kReleased);
    wglMakeCurrent(nullptr, nullptr);
    Close();
    Open(kDrawWithoutContext);
    glDrawArrays(GL_POINTS, 0, 4);
    Close();

    // ---- a full-screen window ----
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    HWND full = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, screenWidth, screenHeight);
    if (!full) return Fail("no full-screen window");
    HDC fullDc = GetDC(full);
    Open(kFullScreen);
    wglGetPixelFormat(fullDc);
    Close();
    ReportWindowDrawable("full", full, fullDc, true);

    // ---- a memory bitmap ----
    constexpr int kBitmapWidth = 8, kBitmapHeight = 4;
    HDC memory = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kBitmapWidth;
    info.bmiHeader.biHeight = kBitmapHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!memory || !bitmap || !bits) return Fail("no DIB section");
    auto* pixels = static_cast<std::uint8_t*>(bits);
    // Blue, green, red and an unused fourth byte that stays 0, as a 32-bit RGB bitmap has it.
    for (int i = 0; i < kBitmapWidth * kBitmapHeight * 4; ++i)
        pixels[i] = i % 4 == 3 ? 0 : static_cast<std::uint8_t>(i * 7 + 1);
    SelectObject(memory, bitmap);
    PutBytes("bitmap", "pixels", pixels, kBitmapWidth * kBitmapHeight * 4);
    Put("bitmap", "dc", memory);
    Put("bitmap", "width", static_cast<std::uint32_t>(kBitmapWidth));
    Put("bitmap", "height", static_cast<std::uint32_t>(kBitmapHeight));
    PIXELFORMATDESCRIPTOR bitmapFormat{};
    bitmapFormat.nSize = sizeof bitmapFormat;
    bitmapFormat.nVersion = 1;
    bitmapFormat.dwFlags = PFD_DRAW_TO_BITMAP | PFD_SUPPORT_OPENGL;
    bitmapFormat.iPixelType = PFD_TYPE_RGBA;
    bitmapFormat.cColorBits = 32;
    const int bitmapIndex = ChoosePixelFormat(memory, &bitmapFormat);
    if (bitmapIndex == 0 || !SetPixelFormat(memory, bitmapIndex, &bitmapFormat)) return Fail("no bitmap pixel format");
    PIXELFORMATDESCRIPTOR described{};
    DescribePixelFormat(memory, bitmapIndex, sizeof described, &described);
    Put("bitmap", "format", static_cast<std::uint32_t>(bitmapIndex));
    PutBytes("bitmap", "pfd", &described, 40);
    Open(kBitmapContext);
    HGLRC bitmapRc = wglCreateContext(memory);
    Close();
    if (!bitmapRc) return Fail("no context on the memory bitmap");
    Put("bitmap", "rc", bitmapRc);
    wglDeleteContext(bitmapRc);

    report.Put("all", "done", "yes");
    return 0;
}
