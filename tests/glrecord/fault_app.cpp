// A program with a real context that does what a careless or unusual application does: draws of
// ranges that do not exist, vertex array objects switched under the recorder, buffers it holds
// mapped, bitmaps with colour tables, failed deletes and unmaps, packed pixel types, messages without
// a NUL, data that ends at the end of readable memory, and GL state and errors of its own that a
// frame read-back must leave alone. Each case opens with glPassThrough(its number) and closes with
// glPassThrough(-1); what the test must know goes into the report.
//   fault_app REPORT SECTION      (SECTION: draws, contexts, buffers, uploads, overrides, images, legacy)
#include <windows.h>
#include <psapi.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/wglext.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/glrecord/DrawCases.h"
#include "tests/glrecord/FaultCases.h"
#include "tests/glrecord/support/Report.h"
#include "tests/support/GLWindow.h"

extern "C" int WINAPI wglGetPixelFormat(HDC);

namespace {

using namespace faultcases;

ReportWriter* g_report = nullptr;

std::string Scope(Case c) {
    std::string scope = std::to_string(static_cast<int>(c));
    scope.insert(scope.begin(), 'c');
    return scope;
}
void Open(Case c) { glPassThrough(static_cast<GLfloat>(c)); }
void Close() { glPassThrough(-1.0f); }
void Put(Case c, const char* key, std::uint32_t value) { g_report->Put(Scope(c), key, value); }
void Put(Case c, const char* key, const void* address) { g_report->Put(Scope(c), key, address); }
void PutBytes(Case c, const char* key, const void* data, std::size_t size) {
    g_report->PutBytes(Scope(c), key, data, size);
}
// The GL's answer to glGetError now, and the one after it (the queue must then be empty).
void PutErrors(Case c) {
    Put(c, "error", glGetError());
    Put(c, "errorAfter", glGetError());
}

int Fail(const char* what) {
    std::fprintf(stderr, "fault_app: %s\n", what);
    if (g_report) g_report->Put("all", "failed", what);
    return 3;
}

template <class Fn>
Fn Ext(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(wglGetProcAddress(name)));
}

// `size` bytes that end where the process may no longer read: the page after them is inaccessible.
std::uint8_t* AtEndOfReadableMemory(std::uint32_t size) {
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    auto* pages = static_cast<std::uint8_t*>(
        VirtualAlloc(nullptr, 2 * system.dwPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!pages) return nullptr;
    DWORD old = 0;
    VirtualProtect(pages + system.dwPageSize, system.dwPageSize, PAGE_NOACCESS, &old);
    return pages + system.dwPageSize - size;
}

void SetUpPoints(const std::vector<float>& points) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 160, 0, 160, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glVertexPointer(3, GL_FLOAT, 0, points.data());
    glEnableClientState(GL_VERTEX_ARRAY);
}

// ---- draws ----

int Draws(const std::vector<float>& points) {
    auto genBuffers = Ext<PFNGLGENBUFFERSPROC>("glGenBuffers");
    auto bindBuffer = Ext<PFNGLBINDBUFFERPROC>("glBindBuffer");
    auto bufferData = Ext<PFNGLBUFFERDATAPROC>("glBufferData");
    auto bufferStorage = Ext<PFNGLBUFFERSTORAGEPROC>("glBufferStorage");
    auto mapBufferRange = Ext<PFNGLMAPBUFFERRANGEPROC>("glMapBufferRange");
    auto unmapBuffer = Ext<PFNGLUNMAPBUFFERPROC>("glUnmapBuffer");
    auto getBufferParameteriv = Ext<PFNGLGETBUFFERPARAMETERIVPROC>("glGetBufferParameteriv");
    auto genVertexArrays = Ext<PFNGLGENVERTEXARRAYSPROC>("glGenVertexArrays");
    auto bindVertexArray = Ext<PFNGLBINDVERTEXARRAYPROC>("glBindVertexArray");
    auto drawRangeElements = Ext<PFNGLDRAWRANGEELEMENTSPROC>("glDrawRangeElements");
    auto drawRangeElementsBaseVertex = Ext<PFNGLDRAWRANGEELEMENTSBASEVERTEXPROC>("glDrawRangeElementsBaseVertex");
    auto drawArraysInstanced = Ext<PFNGLDRAWARRAYSINSTANCEDPROC>("glDrawArraysInstanced");
    auto drawArraysIndirect = Ext<PFNGLDRAWARRAYSINDIRECTPROC>("glDrawArraysIndirect");
    auto primitiveRestartIndex = Ext<PFNGLPRIMITIVERESTARTINDEXPROC>("glPrimitiveRestartIndex");
    auto vertexAttribPointer = Ext<PFNGLVERTEXATTRIBPOINTERPROC>("glVertexAttribPointer");
    auto enableVertexAttribArray = Ext<PFNGLENABLEVERTEXATTRIBARRAYPROC>("glEnableVertexAttribArray");
    auto disableVertexAttribArray = Ext<PFNGLDISABLEVERTEXATTRIBARRAYPROC>("glDisableVertexAttribArray");
    if (!genBuffers || !bindBuffer || !bufferData || !bufferStorage || !mapBufferRange || !unmapBuffer ||
        !getBufferParameteriv || !genVertexArrays || !bindVertexArray || !drawRangeElements ||
        !drawRangeElementsBaseVertex || !drawArraysInstanced || !drawArraysIndirect || !primitiveRestartIndex ||
        !vertexAttribPointer || !enableVertexAttribArray || !disableVertexAttribArray)
        return Fail("the GL lacks a draw function");

    static const GLushort kIndices[] = {7, 3, 9};  // vertices 3 to 9
    GLuint buffers[5] = {};
    genBuffers(5, buffers);
    const GLuint elements = buffers[0];
    bindBuffer(GL_ELEMENT_ARRAY_BUFFER, elements);
    bufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof kIndices, kIndices, GL_STATIC_DRAW);
    bindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    g_report->Put("all", "points", points.data());

    // A vertex array object keeps its element buffer while another one's is unbound.
    GLuint arrays[2] = {};
    genVertexArrays(2, arrays);
    bindVertexArray(arrays[0]);
    glVertexPointer(3, GL_FLOAT, 0, points.data());
    glEnableClientState(GL_VERTEX_ARRAY);
    bindBuffer(GL_ELEMENT_ARRAY_BUFFER, elements);
    bindVertexArray(arrays[1]);
    bindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    bindVertexArray(arrays[0]);
    Put(kVertexArrayElementBuffer, "errorBefore", glGetError());  // the set-up's, if any
    Open(kVertexArrayElementBuffer);
    glDrawElements(GL_POINTS, 3, GL_UNSIGNED_SHORT, nullptr);
    Close();
    PutErrors(kVertexArrayElementBuffer);
    bindVertexArray(0);

    // Ranges that do not exist: the GL draws nothing, so nothing is dumped.
    static const GLubyte kNoIndex[1] = {0};
    Put(kEmptyByteIndices, "indices", kNoIndex);
    Open(kEmptyByteIndices);
    glDrawElements(GL_POINTS, 0, GL_UNSIGNED_BYTE, kNoIndex);
    Close();
    PutErrors(kEmptyByteIndices);
    Open(kNegativeCount);
    glDrawArrays(GL_POINTS, 0, -1);
    Close();
    PutErrors(kNegativeCount);
    Open(kNegativeFirst);
    glDrawArrays(GL_POINTS, -5, 4);
    Close();
    PutErrors(kNegativeFirst);
    Put(kEndBeforeStart, "indices", kIndices);
    Open(kEndBeforeStart);
    drawRangeElements(GL_POINTS, 9, 3, 3, GL_UNSIGNED_SHORT, kIndices);
    Close();
    PutErrors(kEndBeforeStart);
    Open(kNoInstances);
    drawArraysInstanced(GL_POINTS, 0, 4, 0);
    drawArraysInstanced(GL_POINTS, 0, 4, -1);
    Close();
    Put(kNoInstances, "error", glGetError());

    // Restart indices in client memory are skipped as in a buffer: the core state and the fixed index.
    static const GLushort kRestarted[] = {50, 0xFFFF, 20, 30};
    Put(kClientRestart, "indices", kRestarted);
    glEnable(GL_PRIMITIVE_RESTART);
    primitiveRestartIndex(0xFFFF);
    Open(kClientRestart);
    glDrawElements(GL_POINTS, 4, GL_UNSIGNED_SHORT, kRestarted);
    Close();
    glDisable(GL_PRIMITIVE_RESTART);
    PutErrors(kClientRestart);
    static const GLuint kFixedRestarted[] = {5, 0xFFFFFFFFu, 9};
    Put(kClientFixedRestart, "indices", kFixedRestarted);
    glEnable(GL_PRIMITIVE_RESTART_FIXED_INDEX);
    Open(kClientFixedRestart);
    glDrawElements(GL_POINTS, 3, GL_UNSIGNED_INT, kFixedRestarted);
    Close();
    glDisable(GL_PRIMITIVE_RESTART_FIXED_INDEX);
    PutErrors(kClientFixedRestart);

    // Indirect commands in a buffer the application holds mapped, or may not read, or that ends early.
    const GLbitfield persistent = GL_MAP_READ_BIT | GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;
    bindBuffer(GL_DRAW_INDIRECT_BUFFER, buffers[1]);
    bufferStorage(GL_DRAW_INDIRECT_BUFFER, 16, nullptr, persistent);
    auto* command = static_cast<GLuint*>(mapBufferRange(GL_DRAW_INDIRECT_BUFFER, 0, 16, persistent));
    if (!command) return Fail("no persistent mapping");
    const GLuint kCommand[] = {5, 1, 60, 0};  // count, instances, first, base instance
    std::memcpy(command, kCommand, sizeof kCommand);
    Open(kIndirectMappedPersistently);
    drawArraysIndirect(GL_POINTS, nullptr);
    Close();
    GLint mapped = 0;
    getBufferParameteriv(GL_DRAW_INDIRECT_BUFFER, GL_BUFFER_MAPPED, &mapped);
    command[0] = 6;  // the application's mapping still works
    Put(kIndirectMappedPersistently, "mapped", static_cast<std::uint32_t>(mapped));
    Put(kIndirectMappedPersistently, "buffer", buffers[1]);
    PutErrors(kIndirectMappedPersistently);
    unmapBuffer(GL_DRAW_INDIRECT_BUFFER);

    const GLuint kUnreadCommand[] = {4, 1, 100, 0};
    bindBuffer(GL_DRAW_INDIRECT_BUFFER, buffers[2]);
    bufferStorage(GL_DRAW_INDIRECT_BUFFER, sizeof kUnreadCommand, kUnreadCommand, 0);  // no access at all
    Open(kIndirectWithoutReadAccess);
    drawArraysIndirect(GL_POINTS, nullptr);
    Close();
    PutErrors(kIndirectWithoutReadAccess);
    Open(kIndirectPastTheBuffer);
    drawArraysIndirect(GL_POINTS, reinterpret_cast<const void*>(8));  // 8 of its 16 bytes are missing
    Close();
    PutErrors(kIndirectPastTheBuffer);
    bindBuffer(GL_DRAW_INDIRECT_BUFFER, 0);

    // Range draws with the indices in a buffer still name their vertices.
    bindBuffer(GL_ELEMENT_ARRAY_BUFFER, elements);
    Open(kRangeInBuffer);
    drawRangeElements(GL_POINTS, 3, 9, 3, GL_UNSIGNED_SHORT, nullptr);
    Close();
    PutErrors(kRangeInBuffer);
    Open(kRangeBaseVertexInBuffer);
    drawRangeElementsBaseVertex(GL_POINTS, 3, 9, 3, GL_UNSIGNED_SHORT, nullptr, 10);
    Close();
    PutErrors(kRangeBaseVertexInBuffer);
    bindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);

    // Element sizes: GL_BGRA colours are four bytes, a packed attribute one 4-byte value.
    static const GLubyte kColours[16] = {10, 20, 30, 40, 11, 21, 31, 41, 12, 22, 32, 42, 13, 23, 33, 43};
    Put(kBgraColours, "colours", kColours);
    PutBytes(kBgraColours, "colourBytes", kColours, sizeof kColours);
    glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, 0, kColours);
    glEnableClientState(GL_COLOR_ARRAY);
    Open(kBgraColours);
    glDrawArrays(GL_POINTS, 0, 4);
    Close();
    glDisableClientState(GL_COLOR_ARRAY);
    PutErrors(kBgraColours);
    static const GLuint kPacked[4] = {0x40100401u, 0x40200802u, 0x40300C03u, 0x40401004u};
    Put(kPackedAttribute, "packed", kPacked);
    vertexAttribPointer(1, 4, GL_INT_2_10_10_10_REV, GL_TRUE, 0, kPacked);
    enableVertexAttribArray(1);
    Open(kPackedAttribute);
    glDrawArrays(GL_POINTS, 0, 4);
    Close();
    disableVertexAttribArray(1);
    PutErrors(kPackedAttribute);
    return 0;
}

// ---- contexts ----

// A memory device context with a DIB section of its own: top-down (negative height) and, at 8 bits
// a pixel, a colour table.
HDC BitmapDC(int width, int height, int bits, std::uint8_t** pixels, std::size_t* size) {
    HDC memory = CreateCompatibleDC(nullptr);
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[256];
    } info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = -height;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bits);
    info.header.biCompression = BI_RGB;
    for (int i = 0; i < 256; ++i) info.colours[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), 7, 0};
    void* bits_ = nullptr;
    HBITMAP bitmap =
        CreateDIBSection(memory, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (!memory || !bitmap || !bits_) return nullptr;
    const std::size_t rowBytes = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
    const std::size_t pixelBytes = static_cast<std::size_t>(width) * bits / 8;
    *size = rowBytes * static_cast<std::size_t>(height);
    *pixels = static_cast<std::uint8_t*>(bits_);
    // The pixels of each row; the row's padding stays zero, as the system copies it.
    for (std::size_t i = 0; i < *size; ++i)
        (*pixels)[i] = i % rowBytes < pixelBytes ? static_cast<std::uint8_t>(i * 13 + 5) : 0;
    SelectObject(memory, bitmap);
    return memory;
}

// Reserves address space, the largest ranges the system gives first, until it gives no range of
// `least` bytes: until they are released no allocation of that size can succeed.
std::vector<void*> ReserveLargeFreeRanges(SIZE_T least) {
    std::vector<void*> reserved;
    reserved.reserve(4096);
    for (SIZE_T size = SIZE_T{1} << 30; size >= least && reserved.size() < 4096;) {
        if (void* range = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS))
            reserved.push_back(range);
        else
            size /= 2;
    }
    return reserved;
}

int Contexts(GLWindow& window, const std::vector<float>& points) {
    const struct {
        Case c;
        int width, height, bits;
    } bitmaps[] = {{kPalettedBitmap, 6, 4, 8}, {kTopDownBitmap, 4, 3, 32}};
    for (const auto& b : bitmaps) {
        std::uint8_t* pixels = nullptr;
        std::size_t size = 0;
        HDC memory = BitmapDC(b.width, b.height, b.bits, &pixels, &size);
        if (!memory) return Fail("no DIB section");
        Put(b.c, "dc", memory);
        PutBytes(b.c, "pixels", pixels, size);
        Open(b.c);
        wglGetPixelFormat(memory);  // the first wgl call that names it describes it
        Close();
        Put(b.c, "survived", 1u);
    }

    // A bitmap of 32 MiB while no 16 MiB of address space is free: the recorder cannot hold a copy.
    std::uint8_t* hugePixels = nullptr;
    std::size_t hugeSize = 0;
    HDC huge = BitmapDC(4096, 2048, 32, &hugePixels, &hugeSize);
    if (!huge) return Fail("no large DIB section");
    Put(kBitmapBeyondMemory, "dc", huge);
    const std::vector<void*> reserved = ReserveLargeFreeRanges(16u << 20);
    Open(kBitmapBeyondMemory);
    wglGetPixelFormat(huge);
    Close();
    for (void* range : reserved) VirtualFree(range, 0, MEM_RELEASE);
    Put(kBitmapBeyondMemory, "reserved", static_cast<std::uint32_t>(reserved.size()));
    Put(kBitmapBeyondMemory, "survived", 1u);

    // A context current on another thread cannot be deleted: its state must live on for its draws.
    HGLRC other = wglCreateContext(window.dc());
    if (!other) return Fail("no second context");
    HANDLE current = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE refused = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread drawer([&] {
        wglMakeCurrent(window.dc(), other);
        glVertexPointer(3, GL_FLOAT, 0, points.data());
        glEnableClientState(GL_VERTEX_ARRAY);
        SetEvent(current);
        WaitForSingleObject(refused, 30000);
        Open(kDrawAfterRefusedDelete);
        glDrawArrays(GL_POINTS, 0, 4);
        Close();
        wglMakeCurrent(nullptr, nullptr);
    });
    WaitForSingleObject(current, 30000);
    Open(kDeleteRefused);
    const BOOL deleted = wglDeleteContext(other);
    Close();
    Put(kDeleteRefused, "deleted", static_cast<std::uint32_t>(deleted));
    Put(kDeleteRefused, "context", other);
    SetEvent(refused);
    drawer.join();
    if (!deleted) wglDeleteContext(other);
    g_report->Put("all", "points", points.data());
    return 0;
}

// ---- buffers ----

int Buffers() {
    auto genBuffers = Ext<PFNGLGENBUFFERSPROC>("glGenBuffers");
    auto bindBuffer = Ext<PFNGLBINDBUFFERPROC>("glBindBuffer");
    auto bufferData = Ext<PFNGLBUFFERDATAPROC>("glBufferData");
    auto mapBuffer = Ext<PFNGLMAPBUFFERPROC>("glMapBuffer");
    auto unmapBuffer = Ext<PFNGLUNMAPBUFFERPROC>("glUnmapBuffer");
    auto createBuffers = Ext<PFNGLCREATEBUFFERSPROC>("glCreateBuffers");
    auto namedBufferData = Ext<PFNGLNAMEDBUFFERDATAPROC>("glNamedBufferData");
    auto mapNamedBuffer = Ext<PFNGLMAPNAMEDBUFFERPROC>("glMapNamedBuffer");
    auto unmapNamedBuffer = Ext<PFNGLUNMAPNAMEDBUFFERPROC>("glUnmapNamedBuffer");
    if (!genBuffers || !bindBuffer || !bufferData || !mapBuffer || !unmapBuffer || !createBuffers ||
        !namedBufferData || !mapNamedBuffer || !unmapNamedBuffer)
        return Fail("the GL lacks a buffer function");

    // Every target a buffer can be mapped through; through the texture buffer target with a texture
    // bound there that changes between map and unmap.
    static const GLenum kTargets[] = {GL_TEXTURE_BUFFER,    GL_COPY_READ_BUFFER,         GL_COPY_WRITE_BUFFER,
                                      GL_SHADER_STORAGE_BUFFER, GL_TRANSFORM_FEEDBACK_BUFFER, GL_ATOMIC_COUNTER_BUFFER,
                                      GL_QUERY_BUFFER,      GL_DISPATCH_INDIRECT_BUFFER};
    GLuint textures[2] = {};
    glGenTextures(2, textures);
    Open(kMapThroughEveryTarget);
    for (std::size_t t = 0; t < sizeof kTargets / sizeof kTargets[0]; ++t) {
        GLuint buffer = 0;
        genBuffers(1, &buffer);
        bindBuffer(kTargets[t], buffer);
        bufferData(kTargets[t], 32, nullptr, GL_DYNAMIC_DRAW);
        if (kTargets[t] == GL_TEXTURE_BUFFER) glBindTexture(GL_TEXTURE_BUFFER, textures[0]);
        auto* bytes = static_cast<std::uint8_t*>(mapBuffer(kTargets[t], GL_WRITE_ONLY));
        if (!bytes) return Fail("a buffer could not be mapped");
        for (int i = 0; i < 32; ++i) bytes[i] = static_cast<std::uint8_t>(t * 32 + i);
        if (kTargets[t] == GL_TEXTURE_BUFFER) glBindTexture(GL_TEXTURE_BUFFER, textures[1]);
        unmapBuffer(kTargets[t]);
    }
    Close();
    PutErrors(kMapThroughEveryTarget);

    // A named map of a buffer bound nowhere.
    GLuint named = 0;
    createBuffers(1, &named);
    namedBufferData(named, 32, nullptr, GL_DYNAMIC_DRAW);
    Put(kNamedMapOfAnUnboundBuffer, "buffer", named);
    Open(kNamedMapOfAnUnboundBuffer);
    auto* bytes = static_cast<std::uint8_t*>(mapNamedBuffer(named, GL_WRITE_ONLY));
    if (!bytes) return Fail("the named buffer could not be mapped");
    for (int i = 0; i < 32; ++i) bytes[i] = static_cast<std::uint8_t>(0xC0 + i);
    unmapNamedBuffer(named);
    Close();
    PutErrors(kNamedMapOfAnUnboundBuffer);

    // The GL refuses to unmap a buffer that is not mapped: the record says so.
    GLuint plain = 0;
    genBuffers(1, &plain);
    bindBuffer(GL_ARRAY_BUFFER, plain);
    bufferData(GL_ARRAY_BUFFER, 16, nullptr, GL_STATIC_DRAW);
    Open(kUnmapOfAnUnmappedBuffer);
    const GLboolean unmapped = unmapBuffer(GL_ARRAY_BUFFER);
    Close();
    bindBuffer(GL_ARRAY_BUFFER, 0);
    Put(kUnmapOfAnUnmappedBuffer, "result", static_cast<std::uint32_t>(unmapped));
    PutErrors(kUnmapOfAnUnmappedBuffer);

    // One large unmap: the process's private memory after it is what it was before.
    using MemoryInfo = BOOL(WINAPI*)(HANDLE, PROCESS_MEMORY_COUNTERS*, DWORD);
    auto memoryInfo = reinterpret_cast<MemoryInfo>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
    if (!memoryInfo) return Fail("no K32GetProcessMemoryInfo");
    auto privateBytes = [&] {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        return memoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PagefileUsage : SIZE_T{0};
    };
    constexpr GLsizeiptr kLarge = 32 << 20;
    GLuint large = 0;
    genBuffers(1, &large);
    bindBuffer(GL_ARRAY_BUFFER, large);
    bufferData(GL_ARRAY_BUFFER, kLarge, nullptr, GL_DYNAMIC_DRAW);
    auto* written = static_cast<std::uint8_t*>(mapBuffer(GL_ARRAY_BUFFER, GL_WRITE_ONLY));
    if (!written) return Fail("the large buffer could not be mapped");
    for (GLsizeiptr i = 0; i < kLarge; ++i) written[i] = static_cast<std::uint8_t>(i * 7);
    const SIZE_T before = privateBytes();
    Open(kLargeUnmap);
    unmapBuffer(GL_ARRAY_BUFFER);
    Close();
    const SIZE_T after = privateBytes();
    Put(kLargeUnmap, "before", static_cast<std::uint32_t>(before));
    Put(kLargeUnmap, "after", static_cast<std::uint32_t>(after));
    bindBuffer(GL_ARRAY_BUFFER, 0);
    PutErrors(kLargeUnmap);
    return 0;
}

// ---- uploads ----

int Uploads() {
    auto texImage3D = Ext<PFNGLTEXIMAGE3DPROC>("glTexImage3D");
    if (!texImage3D) return Fail("no glTexImage3D");
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    std::uint8_t data[64];
    for (int i = 0; i < 64; ++i) data[i] = static_cast<std::uint8_t>(0x40 + i);
    g_report->PutBytes("all", "data", data, sizeof data);
    g_report->Put("all", "address", data);

    const struct {
        Case c;
        GLint internalFormat;
        GLsizei width, height;
        GLenum format, type;
    } uploads[] = {
        {kDepthStencil24_8, GL_DEPTH24_STENCIL8, 2, 2, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8},
        {kDepthFloatStencil, GL_DEPTH32F_STENCIL8, 2, 2, GL_DEPTH_STENCIL, GL_FLOAT_32_UNSIGNED_INT_24_8_REV},
        {kPackedFloat, GL_R11F_G11F_B10F, 2, 2, GL_RGB, GL_UNSIGNED_INT_10F_11F_11F_REV},
        {kSharedExponent, GL_RGB9_E5, 2, 2, GL_RGB, GL_UNSIGNED_INT_5_9_9_9_REV},
        {kRgInteger, GL_RG8UI, 3, 2, GL_RG_INTEGER, GL_UNSIGNED_BYTE},  // rows of 6 bytes aligned to 8
    };
    for (const auto& u : uploads) {
        Open(u.c);
        glTexImage2D(GL_TEXTURE_2D, 0, u.internalFormat, u.width, u.height, 0, u.format, u.type, data);
        Close();
        PutErrors(u.c);
    }
    // Proxies only ask whether an image would fit: they read no pixels.
    Open(kCubeMapProxy);
    glTexImage2D(GL_PROXY_TEXTURE_CUBE_MAP, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, data);
    Close();
    PutErrors(kCubeMapProxy);
    Open(kArrayProxy);
    texImage3D(GL_PROXY_TEXTURE_2D_ARRAY, 0, GL_RGBA8, 2, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, data);
    Close();
    PutErrors(kArrayProxy);

    // Three rows of 9 bytes aligned to 12: the GL reads 33 bytes, up to the end of readable memory.
    std::uint8_t* edge = AtEndOfReadableMemory(33);
    if (!edge) return Fail("no guarded pages");
    for (int i = 0; i < 33; ++i) edge[i] = static_cast<std::uint8_t>(0x90 + i);
    Put(kPaddingAtEndOfMemory, "pixels", edge);
    PutBytes(kPaddingAtEndOfMemory, "bytes", edge, 33);
    Open(kPaddingAtEndOfMemory);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, 3, 3, 0, GL_RGB, GL_UNSIGNED_BYTE, edge);
    Close();
    Put(kPaddingAtEndOfMemory, "survived", 1u);
    PutErrors(kPaddingAtEndOfMemory);
    return 0;
}

// ---- overrides ----

int Overrides() {
    auto insert = Ext<PFNGLDEBUGMESSAGEINSERTPROC>("glDebugMessageInsert");
    auto swapInterval = Ext<PFNWGLSWAPINTERVALEXTPROC>("wglSwapIntervalEXT");
    auto getSwapInterval = Ext<PFNWGLGETSWAPINTERVALEXTPROC>("wglGetSwapIntervalEXT");
    if (!insert) return Fail("no glDebugMessageInsert");
    static const char kText[] = "HelloWorld";  // only "Hello" is the message
    Put(kMessageWithLength, "text", kText);
    Open(kMessageWithLength);
    insert(GL_DEBUG_SOURCE_APPLICATION, GL_DEBUG_TYPE_MARKER, 7, GL_DEBUG_SEVERITY_NOTIFICATION, 5, kText);
    Close();
    PutErrors(kMessageWithLength);

    auto* edge = reinterpret_cast<char*>(AtEndOfReadableMemory(3));
    if (!edge) return Fail("no guarded pages");
    std::memcpy(edge, "abc", 3);  // no NUL: the next byte cannot be read
    Put(kMessageAtEndOfMemory, "text", edge);
    Open(kMessageAtEndOfMemory);
    insert(GL_DEBUG_SOURCE_APPLICATION, GL_DEBUG_TYPE_MARKER, 8, GL_DEBUG_SEVERITY_NOTIFICATION, 3, edge);
    Close();
    Put(kMessageAtEndOfMemory, "survived", 1u);
    PutErrors(kMessageAtEndOfMemory);

    // The application's vsync request reaches the system's function.
    Put(kSwapInterval, "available", swapInterval && getSwapInterval ? 1u : 0u);
    if (swapInterval && getSwapInterval) {
        Open(kSwapInterval);
        const BOOL set = swapInterval(1);
        Close();
        Put(kSwapInterval, "result", static_cast<std::uint32_t>(set));
        Put(kSwapInterval, "interval", static_cast<std::uint32_t>(getSwapInterval()));
    }

    // Counts whose four bytes each would wrap 32 bits to 4: the GL refuses them before it reads.
    auto control = Ext<PFNGLDEBUGMESSAGECONTROLARBPROC>("glDebugMessageControlARB");
    auto drawBuffers = Ext<PFNGLNAMEDFRAMEBUFFERDRAWBUFFERSPROC>("glNamedFramebufferDrawBuffers");
    if (!control || !drawBuffers) return Fail("no glDebugMessageControlARB or glNamedFramebufferDrawBuffers");
    static const GLuint kIds[1] = {42};
    constexpr GLsizei kWrapping = 0x40000001;
    Put(kWrappingIdCount, "ids", kIds);
    Open(kWrappingIdCount);
    control(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, kWrapping, kIds, GL_TRUE);
    Close();
    PutErrors(kWrappingIdCount);
    static const GLenum kBuffers[1] = {GL_BACK_LEFT};
    Put(kWrappingDrawBufferCount, "buffers", kBuffers);
    Open(kWrappingDrawBufferCount);
    drawBuffers(0, kWrapping, kBuffers);
    Close();
    PutErrors(kWrappingDrawBufferCount);
    return 0;
}

// ---- images ----

struct PackState {
    GLint values[9];
};

PackState ReadPackState() {
    static const GLenum kNames[] = {GL_PACK_ALIGNMENT,       GL_PACK_ROW_LENGTH,       GL_PACK_SKIP_PIXELS,
                                    GL_PACK_SKIP_ROWS,       GL_PIXEL_PACK_BUFFER_BINDING, GL_READ_FRAMEBUFFER_BINDING,
                                    GL_DRAW_FRAMEBUFFER_BINDING, GL_READ_BUFFER,          GL_LIST_INDEX};
    PackState s{};
    for (int i = 0; i < 9; ++i) glGetIntegerv(kNames[i], &s.values[i]);
    return s;
}

GLuint CoreProgram() {
    auto createShader = Ext<PFNGLCREATESHADERPROC>("glCreateShader");
    auto shaderSource = Ext<PFNGLSHADERSOURCEPROC>("glShaderSource");
    auto compileShader = Ext<PFNGLCOMPILESHADERPROC>("glCompileShader");
    auto createProgram = Ext<PFNGLCREATEPROGRAMPROC>("glCreateProgram");
    auto attachShader = Ext<PFNGLATTACHSHADERPROC>("glAttachShader");
    auto linkProgram = Ext<PFNGLLINKPROGRAMPROC>("glLinkProgram");
    if (!createShader || !shaderSource || !compileShader || !createProgram || !attachShader || !linkProgram) return 0;
    static const char* kVertex = "#version 150\nin vec2 p;\nvoid main() { gl_Position = vec4(p, 0.0, 1.0); }\n";
    static const char* kFragment = "#version 150\nout vec4 c;\nvoid main() { c = vec4(1.0, 1.0, 0.0, 1.0); }\n";
    const GLuint program = createProgram();
    for (const auto& [type, source] : {std::pair{GL_VERTEX_SHADER, kVertex}, std::pair{GL_FRAGMENT_SHADER, kFragment}}) {
        const GLuint shader = createShader(type);
        shaderSource(shader, 1, &source, nullptr);
        compileShader(shader);
        attachShader(program, shader);
    }
    linkProgram(program);
    return program;
}

int Images(GLWindow& window, const std::vector<float>& points) {
    auto genBuffers = Ext<PFNGLGENBUFFERSPROC>("glGenBuffers");
    auto bindBuffer = Ext<PFNGLBINDBUFFERPROC>("glBindBuffer");
    auto bufferData = Ext<PFNGLBUFFERDATAPROC>("glBufferData");
    auto genFramebuffers = Ext<PFNGLGENFRAMEBUFFERSPROC>("glGenFramebuffers");
    auto bindFramebuffer = Ext<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer");
    auto genRenderbuffers = Ext<PFNGLGENRENDERBUFFERSPROC>("glGenRenderbuffers");
    auto bindRenderbuffer = Ext<PFNGLBINDRENDERBUFFERPROC>("glBindRenderbuffer");
    auto renderbufferStorage = Ext<PFNGLRENDERBUFFERSTORAGEPROC>("glRenderbufferStorage");
    auto framebufferRenderbuffer = Ext<PFNGLFRAMEBUFFERRENDERBUFFERPROC>("glFramebufferRenderbuffer");
    auto createContextAttribs = Ext<PFNWGLCREATECONTEXTATTRIBSARBPROC>("wglCreateContextAttribsARB");
    if (!genBuffers || !bindBuffer || !bufferData || !genFramebuffers || !bindFramebuffer || !genRenderbuffers ||
        !bindRenderbuffer || !renderbufferStorage || !framebufferRenderbuffer || !createContextAttribs)
        return Fail("the GL lacks a framebuffer or buffer function");

    // Pack state, a pack buffer, a read framebuffer, the front buffer to read and an error of
    // the application's own, all set when the draw's image is taken.
    GLuint fbo = 0, colour = 0, pbo = 0;
    genFramebuffers(1, &fbo);
    genRenderbuffers(1, &colour);
    bindRenderbuffer(GL_RENDERBUFFER, colour);
    renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 16, 16);
    bindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    framebufferRenderbuffer(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    genBuffers(1, &pbo);
    bindBuffer(GL_PIXEL_PACK_BUFFER, pbo);
    bufferData(GL_PIXEL_PACK_BUFFER, 64, nullptr, GL_STREAM_READ);
    bindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_FRONT);  // the window's, which the read-back changes and must put back
    bindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    glPixelStorei(GL_PACK_ROW_LENGTH, 170);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 3);
    glPixelStorei(GL_PACK_SKIP_ROWS, 2);
    const PackState before = ReadPackState();
    g_report->PutBytes(Scope(kReadBackKeepsState), "before", &before, sizeof before);
    glEnable(0);  // GL_INVALID_ENUM, left for the application to read
    glClear(GL_COLOR_BUFFER_BIT);
    Open(kReadBackKeepsState);
    glDrawArrays(GL_POINTS, 0, 4);
    Close();
    PutErrors(kReadBackKeepsState);
    const PackState after = ReadPackState();
    g_report->PutBytes(Scope(kReadBackKeepsState), "after", &after, sizeof after);
    bindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    GLint windowReadBuffer = 0;
    glGetIntegerv(GL_READ_BUFFER, &windowReadBuffer);
    Put(kReadBackKeepsState, "windowReadBuffer", static_cast<std::uint32_t>(windowReadBuffer));
    bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);

    // A draw the GL refuses between glBegin and glEnd; its error is the application's.
    Open(kInsideBeginEnd);
    glBegin(GL_POINTS);
    glDrawArrays(GL_POINTS, 0, 4);
    glVertex2f(10.5f, 10.5f);
    glEnd();
    Close();
    PutErrors(kInsideBeginEnd);

    // A draw compiled into a display list draws nothing now: a read-back there would go into the
    // list, and calling the list would then set the read buffer the read-back put back.
    const GLuint list = glGenLists(1);
    glReadBuffer(GL_FRONT);
    Put(kCompilingList, "errorBefore", glGetError());
    Open(kCompilingList);
    glNewList(list, GL_COMPILE);
    glDrawArrays(GL_POINTS, 0, 4);
    glEndList();
    Close();
    PutErrors(kCompilingList);
    glReadBuffer(GL_BACK);
    glCallList(list);
    GLint readBuffer = 0;
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    Put(kCompilingList, "readBufferAfterCall", static_cast<std::uint32_t>(readBuffer));

    // A core-profile context, which knows neither texture units nor display lists.
    static const int kCore[] = {WGL_CONTEXT_MAJOR_VERSION_ARB,  3, WGL_CONTEXT_MINOR_VERSION_ARB, 2,
                                WGL_CONTEXT_PROFILE_MASK_ARB, WGL_CONTEXT_CORE_PROFILE_BIT_ARB, 0};
    HGLRC core = createContextAttribs(window.dc(), nullptr, kCore);
    if (!core) return Fail("no core-profile context");
    wglMakeCurrent(window.dc(), core);
    auto genVertexArrays = Ext<PFNGLGENVERTEXARRAYSPROC>("glGenVertexArrays");
    auto bindVertexArray = Ext<PFNGLBINDVERTEXARRAYPROC>("glBindVertexArray");
    auto coreGenBuffers = Ext<PFNGLGENBUFFERSPROC>("glGenBuffers");
    auto coreBindBuffer = Ext<PFNGLBINDBUFFERPROC>("glBindBuffer");
    auto coreBufferData = Ext<PFNGLBUFFERDATAPROC>("glBufferData");
    auto vertexAttribPointer = Ext<PFNGLVERTEXATTRIBPOINTERPROC>("glVertexAttribPointer");
    auto enableVertexAttribArray = Ext<PFNGLENABLEVERTEXATTRIBARRAYPROC>("glEnableVertexAttribArray");
    auto useProgram = Ext<PFNGLUSEPROGRAMPROC>("glUseProgram");
    if (!genVertexArrays || !bindVertexArray || !coreGenBuffers || !coreBindBuffer || !coreBufferData ||
        !vertexAttribPointer || !enableVertexAttribArray || !useProgram)
        return Fail("the core context lacks a function");
    const GLuint program = CoreProgram();
    GLuint vao = 0, vbo = 0;
    genVertexArrays(1, &vao);
    bindVertexArray(vao);
    coreGenBuffers(1, &vbo);
    coreBindBuffer(GL_ARRAY_BUFFER, vbo);
    static const float kTriangle[] = {-0.5f, -0.5f, 0.5f, -0.5f, 0.0f, 0.5f};
    coreBufferData(GL_ARRAY_BUFFER, sizeof kTriangle, kTriangle, GL_STATIC_DRAW);
    vertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    enableVertexAttribArray(0);
    useProgram(program);
    const GLenum coreSetUp = glGetError();
    Put(kCoreProfile, "setUpError", coreSetUp);
    glDrawArrays(GL_TRIANGLES, 0, 3);  // no markers here: a core profile refuses glPassThrough
    PutErrors(kCoreProfile);
    wglMakeCurrent(window.dc(), window.context());
    SwapBuffers(window.dc());
    wglDeleteContext(core);
    (void)points;
    return 0;
}

// ---- legacy ----

// The test hides pixel buffer objects from the GL, which then gives a 2.0 context: an upload must ask
// it nothing it does not know, or the program finds an error it did not make.
int Legacy() {
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!extensions || !version) return Fail("no version or extensions");
    g_report->Put("all", "version", version);
    g_report->Put("all", "pixelBuffers", std::strstr(extensions, "_pixel_buffer_object") ? 1u : 0u);
    Put(kCompressedWithoutPixelBuffers, "errorBefore", glGetError());
    auto compressed = Ext<PFNGLCOMPRESSEDTEXIMAGE2DARBPROC>("glCompressedTexImage2DARB");
    if (!compressed) return Fail("no glCompressedTexImage2DARB");
    static const GLubyte kBlock[8] = {0x1F, 0xF8, 0xE0, 0x07, 0x1B, 0x6C, 0xB1, 0xC6};  // one DXT1 block, 4 x 4
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    Put(kCompressedWithoutPixelBuffers, "data", kBlock);
    Open(kCompressedWithoutPixelBuffers);
    compressed(GL_TEXTURE_2D, 0, GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 4, 4, 0, sizeof kBlock, kBlock);
    Close();
    PutErrors(kCompressedWithoutPixelBuffers);

    static const GLubyte kPixels[4 * 4] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    auto textureImage = Ext<PFNGLTEXTUREIMAGE2DEXTPROC>("glTextureImage2DEXT");
    const bool directState = std::strstr(extensions, "GL_EXT_direct_state_access") && textureImage;
    Put(kTextureObjectWithoutPixelBuffers, "available", directState ? 1u : 0u);
    if (directState) {
        Put(kTextureObjectWithoutPixelBuffers, "texture", texture);
        Put(kTextureObjectWithoutPixelBuffers, "pixels", kPixels);
        Open(kTextureObjectWithoutPixelBuffers);
        textureImage(texture, GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, kPixels);
        Close();
        PutErrors(kTextureObjectWithoutPixelBuffers);
    }
    glDeleteTextures(1, &texture);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (argc != 3) {
        std::fprintf(stderr, "usage: fault_app REPORT SECTION\n");
        return 2;
    }
    ReportWriter report(argv[1]);
    if (!report.ok()) return 2;
    g_report = &report;
    const std::string section = argv[2];

    GLWindow window(160, 160, true);
    if (!window.error().empty()) return Fail(window.error().c_str());
    const std::vector<float> points = drawcases::PointsVertices();
    SetUpPoints(points);

    int result = 2;
    if (section == "draws") result = Draws(points);
    else if (section == "contexts") result = Contexts(window, points);
    else if (section == "buffers") result = Buffers();
    else if (section == "uploads") result = Uploads();
    else if (section == "overrides") result = Overrides();
    else if (section == "images") result = Images(window, points);
    else if (section == "legacy") result = Legacy();
    else return Fail("unknown section");
    if (result == 0) report.Put("all", "done", "yes");
    return result;
}
