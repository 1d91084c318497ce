// The program the persistent-mapping tests capture: buffers mapped once with the persistent bit and
// written while they stay mapped, as streaming renderers write them. Every frame follows from the
// frame number alone and differs from the one before, so that captured and replayed frame images
// can be compared byte for byte.
//   persistent_app MODE [--frames N]
// MODE:
//   renderer  a coherent vertex ring and a uniform ring of three parts each, every part written once a
//             frame after waiting for the fence of the frame that last drew from it, and a
//             non-coherent buffer written and flushed explicitly before each draw from it.
//   one-byte  one byte of a 64 KiB buffer written a frame, then a draw from the buffer.
//   no-draw   a buffer written every frame that nothing ever draws from; it is never unmapped.
//   unmap     a persistent mapping written and unmapped every frame, then drawn from.
//   poll      the GL copies a frame's colour into a readable persistent buffer; the program polls the
//             fence with glGetSynciv until it is signalled, then clears to the colour it reads there.
//   texture   a texture image written every frame into a persistent unpack buffer, uploaded from it
//             with glTexSubImage2D and then drawn: the upload reads the mapping before any draw.
// Exits 0 when all frames were drawn, 2 on a usage error, 3 with a message when the GL refused something.
#include <windows.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/ModeProgram.h"
#include "tests/support/WindowPixelFormat.h"

namespace {

constexpr int kWidth = 160, kHeight = 120;

using kestrel::test::Failure;
using kestrel::test::Load;
using kestrel::test::Mode;
using kestrel::test::Require;

// A popup window with a current context of its own, both gone at the end.
class Surface {
public:
    Surface() {
        WNDCLASSA wc{};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KestrelPersistentApp";
        RegisterClassA(&wc);
        hwnd_ = CreateWindowA(wc.lpszClassName, "persistent_app", WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0,
                              kWidth, kHeight, nullptr, nullptr, wc.hInstance, nullptr);
        Require(hwnd_ != nullptr, "CreateWindowA failed");
        dc_ = GetDC(hwnd_);
        const PIXELFORMATDESCRIPTOR pfd = WindowPixelFormat();
        const int format = ChoosePixelFormat(dc_, &pfd);
        Require(format != 0 && SetPixelFormat(dc_, format, &pfd), "no pixel format");
        rc_ = wglCreateContext(dc_);
        Require(rc_ && wglMakeCurrent(dc_, rc_), "no current context");
    }
    ~Surface() {
        wglMakeCurrent(nullptr, nullptr);
        if (rc_) wglDeleteContext(rc_);
        if (dc_) ReleaseDC(hwnd_, dc_);
        if (hwnd_) DestroyWindow(hwnd_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    void EndFrame(const char* mode, int frame) {
        const GLenum error = glGetError();
        Require(error == GL_NO_ERROR, std::string(mode) + ": GL error " + std::to_string(error) + " in frame " +
                                          std::to_string(frame));
        SwapBuffers(dc_);
    }

private:
    HWND hwnd_ = nullptr;
    HDC dc_ = nullptr;
    HGLRC rc_ = nullptr;
};

// The entry points past GL 1.1 that the modes use.
struct GL {
    PFNGLGENBUFFERSPROC GenBuffers = Load<PFNGLGENBUFFERSPROC>("glGenBuffers");
    PFNGLBINDBUFFERPROC BindBuffer = Load<PFNGLBINDBUFFERPROC>("glBindBuffer");
    PFNGLBINDBUFFERRANGEPROC BindBufferRange = Load<PFNGLBINDBUFFERRANGEPROC>("glBindBufferRange");
    PFNGLDELETEBUFFERSPROC DeleteBuffers = Load<PFNGLDELETEBUFFERSPROC>("glDeleteBuffers");
    PFNGLBUFFERSTORAGEPROC BufferStorage = Load<PFNGLBUFFERSTORAGEPROC>("glBufferStorage");
    PFNGLMAPBUFFERRANGEPROC MapBufferRange = Load<PFNGLMAPBUFFERRANGEPROC>("glMapBufferRange");
    PFNGLUNMAPBUFFERPROC UnmapBuffer = Load<PFNGLUNMAPBUFFERPROC>("glUnmapBuffer");
    PFNGLGETBUFFERPOINTERVPROC GetBufferPointerv = Load<PFNGLGETBUFFERPOINTERVPROC>("glGetBufferPointerv");
    PFNGLBUFFERSUBDATAPROC BufferSubData = Load<PFNGLBUFFERSUBDATAPROC>("glBufferSubData");
    PFNGLCOPYBUFFERSUBDATAPROC CopyBufferSubData = Load<PFNGLCOPYBUFFERSUBDATAPROC>("glCopyBufferSubData");
    PFNGLGETSYNCIVPROC GetSynciv = Load<PFNGLGETSYNCIVPROC>("glGetSynciv");
    PFNGLFLUSHMAPPEDBUFFERRANGEPROC FlushMappedBufferRange =
        Load<PFNGLFLUSHMAPPEDBUFFERRANGEPROC>("glFlushMappedBufferRange");
    PFNGLFENCESYNCPROC FenceSync = Load<PFNGLFENCESYNCPROC>("glFenceSync");
    PFNGLCLIENTWAITSYNCPROC ClientWaitSync = Load<PFNGLCLIENTWAITSYNCPROC>("glClientWaitSync");
    PFNGLDELETESYNCPROC DeleteSync = Load<PFNGLDELETESYNCPROC>("glDeleteSync");
    PFNGLCREATESHADERPROC CreateShader = Load<PFNGLCREATESHADERPROC>("glCreateShader");
    PFNGLSHADERSOURCEPROC ShaderSource = Load<PFNGLSHADERSOURCEPROC>("glShaderSource");
    PFNGLCOMPILESHADERPROC CompileShader = Load<PFNGLCOMPILESHADERPROC>("glCompileShader");
    PFNGLGETSHADERIVPROC GetShaderiv = Load<PFNGLGETSHADERIVPROC>("glGetShaderiv");
    PFNGLCREATEPROGRAMPROC CreateProgram = Load<PFNGLCREATEPROGRAMPROC>("glCreateProgram");
    PFNGLATTACHSHADERPROC AttachShader = Load<PFNGLATTACHSHADERPROC>("glAttachShader");
    PFNGLBINDATTRIBLOCATIONPROC BindAttribLocation = Load<PFNGLBINDATTRIBLOCATIONPROC>("glBindAttribLocation");
    PFNGLLINKPROGRAMPROC LinkProgram = Load<PFNGLLINKPROGRAMPROC>("glLinkProgram");
    PFNGLGETPROGRAMIVPROC GetProgramiv = Load<PFNGLGETPROGRAMIVPROC>("glGetProgramiv");
    PFNGLUSEPROGRAMPROC UseProgram = Load<PFNGLUSEPROGRAMPROC>("glUseProgram");
    PFNGLGETUNIFORMBLOCKINDEXPROC GetUniformBlockIndex = Load<PFNGLGETUNIFORMBLOCKINDEXPROC>("glGetUniformBlockIndex");
    PFNGLUNIFORMBLOCKBINDINGPROC UniformBlockBinding = Load<PFNGLUNIFORMBLOCKBINDINGPROC>("glUniformBlockBinding");
    PFNGLVERTEXATTRIBPOINTERPROC VertexAttribPointer = Load<PFNGLVERTEXATTRIBPOINTERPROC>("glVertexAttribPointer");
    PFNGLENABLEVERTEXATTRIBARRAYPROC EnableVertexAttribArray =
        Load<PFNGLENABLEVERTEXATTRIBARRAYPROC>("glEnableVertexAttribArray");
};

const void* Offset(std::size_t bytes) { return reinterpret_cast<const void*>(bytes); }

// A vertex: position and colour.
struct Vertex {
    float x, y;
    float r, g, b;
};

// A quad of two triangles whose place and colours follow from the frame and the quad's number.
void Quad(Vertex* v, int frame, int quad) {
    const float s = 0.25f, cx = -0.7f + 0.35f * quad + 0.01f * (frame % 20), cy = -0.5f + 0.02f * ((frame * 3 + quad) % 30);
    const float c = static_cast<float>((frame * 37 + quad * 71) % 256) / 255.0f;
    const float corners[6][2] = {{-s, -s}, {s, -s}, {s, s}, {-s, -s}, {s, s}, {-s, s}};
    for (int i = 0; i < 6; ++i)
        v[i] = {cx + corners[i][0], cy + corners[i][1], c, 1.0f - c, static_cast<float>(i) / 5.0f};
}

// Colours by vertex, moved and tinted by the uniform block.
const char* const kVertexShader = R"(#version 140
in vec2 position;
in vec3 colour;
out vec3 shade;
uniform Frame { vec4 move; vec4 tint; };
void main() {
    shade = colour * tint.rgb;
    gl_Position = vec4(position + move.xy, 0.0, 1.0);
}
)";
const char* const kFragmentShader = R"(#version 140
in vec3 shade;
out vec4 fragment;
void main() { fragment = vec4(shade, 1.0); }
)";

GLuint Program(const GL& gl) {
    const char* const sources[] = {kVertexShader, kFragmentShader};
    const GLenum kinds[] = {GL_VERTEX_SHADER, GL_FRAGMENT_SHADER};
    const GLuint program = gl.CreateProgram();
    for (int i = 0; i < 2; ++i) {
        const GLuint shader = gl.CreateShader(kinds[i]);
        gl.ShaderSource(shader, 1, &sources[i], nullptr);
        gl.CompileShader(shader);
        GLint ok = 0;
        gl.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        Require(ok != 0, "a shader did not compile");
        gl.AttachShader(program, shader);
    }
    gl.BindAttribLocation(program, 0, "position");
    gl.BindAttribLocation(program, 1, "colour");
    gl.LinkProgram(program);
    GLint linked = 0;
    gl.GetProgramiv(program, GL_LINK_STATUS, &linked);
    Require(linked != 0, "the program did not link");
    gl.UniformBlockBinding(program, gl.GetUniformBlockIndex(program, "Frame"), 0);
    return program;
}

void Attributes(const GL& gl, GLuint buffer, std::size_t at) {
    gl.BindBuffer(GL_ARRAY_BUFFER, buffer);
    gl.VertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), Offset(at));
    gl.VertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), Offset(at + 8));
    gl.EnableVertexAttribArray(0);
    gl.EnableVertexAttribArray(1);
}

void* MapStorage(const GL& gl, GLuint buffer, GLsizeiptr size, GLbitfield storage, GLbitfield access) {
    gl.BindBuffer(GL_COPY_WRITE_BUFFER, buffer);
    gl.BufferStorage(GL_COPY_WRITE_BUFFER, size, nullptr, storage);
    void* mapped = gl.MapBufferRange(GL_COPY_WRITE_BUFFER, 0, size, access);
    Require(mapped != nullptr, "glMapBufferRange of a persistent buffer returned null");
    // Asked again, the GL gives back the pointer it handed out.
    void* again = nullptr;
    gl.GetBufferPointerv(GL_COPY_WRITE_BUFFER, GL_BUFFER_MAP_POINTER, &again);
    Require(again == mapped, "glGetBufferPointerv gives another pointer than glMapBufferRange");
    return mapped;
}

// ---- renderer ----

void RunRenderer(int frames) {
    Surface surface;
    const GL gl;
    constexpr int kParts = 3, kQuads = 4;
    constexpr GLbitfield kCoherent = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;
    constexpr GLbitfield kExplicit = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_FLUSH_EXPLICIT_BIT;
    GLint alignment = 256;
    glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &alignment);
    const std::size_t uniformPart = alignment > 32 ? static_cast<std::size_t>(alignment) : 32;
    const std::size_t vertexPart = kQuads * 6 * sizeof(Vertex);
    const std::size_t explicitPart = 6 * sizeof(Vertex);
    GLuint buffers[3];
    gl.GenBuffers(3, buffers);
    const GLuint vertices = buffers[0], uniforms = buffers[1], flushed = buffers[2];
    auto* vertexRing = static_cast<std::uint8_t*>(
        MapStorage(gl, vertices, kParts * vertexPart, kCoherent, kCoherent));
    auto* uniformRing = static_cast<std::uint8_t*>(
        MapStorage(gl, uniforms, kParts * uniformPart, kCoherent, kCoherent));
    auto* explicitRing = static_cast<std::uint8_t*>(
        MapStorage(gl, flushed, kParts * explicitPart, GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT, kExplicit));
    const GLuint program = Program(gl);
    GLsync fences[kParts] = {};
    for (int frame = 1; frame <= frames; ++frame) {
        const int part = frame % kParts;
        if (fences[part]) {
            const GLenum waited = gl.ClientWaitSync(fences[part], GL_SYNC_FLUSH_COMMANDS_BIT, 5000000000ull);
            Require(waited == GL_ALREADY_SIGNALED || waited == GL_CONDITION_SATISFIED, "a fence was not signalled");
            gl.DeleteSync(fences[part]);
        }
        auto* quads = reinterpret_cast<Vertex*>(vertexRing + part * vertexPart);
        for (int q = 0; q < kQuads; ++q) Quad(quads + 6 * q, frame, q);
        const float block[8] = {0.01f * (frame % 10), 0.0f, 0.0f, 0.0f,
                                1.0f, 0.5f + 0.5f * ((frame % 7) / 6.0f), 1.0f, 1.0f};
        std::memcpy(uniformRing + part * uniformPart, block, sizeof block);
        Quad(reinterpret_cast<Vertex*>(explicitRing + part * explicitPart), frame * 5, 1);
        gl.BindBuffer(GL_ARRAY_BUFFER, flushed);
        gl.FlushMappedBufferRange(GL_COPY_WRITE_BUFFER, static_cast<GLintptr>(part * explicitPart),
                                  static_cast<GLsizeiptr>(explicitPart));

        glClearColor(0.1f, 0.1f * (frame % 5), 0.2f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        gl.UseProgram(program);
        gl.BindBufferRange(GL_UNIFORM_BUFFER, 0, uniforms, static_cast<GLintptr>(part * uniformPart), 32);
        Attributes(gl, vertices, part * vertexPart);
        glDrawArrays(GL_TRIANGLES, 0, kQuads * 6);
        Attributes(gl, flushed, part * explicitPart);
        glDrawArrays(GL_TRIANGLES, 0, 6);
        fences[part] = gl.FenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        surface.EndFrame("renderer", frame);
    }
    for (GLsync fence : fences)
        if (fence) gl.DeleteSync(fence);
    gl.DeleteBuffers(3, buffers);
}

// ---- one-byte, no-draw, unmap ----

constexpr GLsizeiptr kSmallBuffer = 64 * 1024;
constexpr GLbitfield kPersistentWrite = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;

// A triangle at the buffer's start, drawn by the fixed pipeline in the colour of the frame.
void DrawTriangle(const GL& gl, GLuint buffer, int frame) {
    glClearColor(0.2f, 0.01f * (frame % 50), 0.3f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    gl.BindBuffer(GL_ARRAY_BUFFER, buffer);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, nullptr);
    glColor3f(1.0f, 0.5f, 0.0f);
    glDrawArrays(GL_TRIANGLES, 0, 3);
}

const float kTriangle[6] = {-0.5f, -0.5f, 0.5f, -0.5f, 0.0f, 0.5f};

void RunOneByte(int frames) {
    Surface surface;
    const GL gl;
    GLuint buffer = 0;
    gl.GenBuffers(1, &buffer);
    auto* bytes = static_cast<std::uint8_t*>(MapStorage(gl, buffer, kSmallBuffer, kPersistentWrite, kPersistentWrite));
    std::memcpy(bytes, kTriangle, sizeof kTriangle);
    for (int frame = 1; frame <= frames; ++frame) {
        // Past the triangle, a byte that changes every frame.
        bytes[1024 + (frame * 977) % (kSmallBuffer - 1024)] = static_cast<std::uint8_t>(frame | 1);
        DrawTriangle(gl, buffer, frame);
        surface.EndFrame("one-byte", frame);
    }
    gl.DeleteBuffers(1, &buffer);
}

void RunNoDraw(int frames) {
    Surface surface;
    const GL gl;
    GLuint buffer = 0;
    gl.GenBuffers(1, &buffer);
    auto* bytes = static_cast<std::uint8_t*>(MapStorage(gl, buffer, kSmallBuffer, kPersistentWrite, kPersistentWrite));
    for (int frame = 1; frame <= frames; ++frame) {
        std::memset(bytes + (frame * 4096) % kSmallBuffer, frame, 100);
        glClearColor(0.01f * (frame % 50), 0.2f, 0.3f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        surface.EndFrame("no-draw", frame);
    }
    // Left mapped: the context's end takes the mapping with it.
}

void RunUnmap(int frames) {
    Surface surface;
    const GL gl;
    GLuint buffer = 0;
    gl.GenBuffers(1, &buffer);
    gl.BindBuffer(GL_COPY_WRITE_BUFFER, buffer);
    gl.BufferStorage(GL_COPY_WRITE_BUFFER, kSmallBuffer, nullptr, kPersistentWrite);
    for (int frame = 1; frame <= frames; ++frame) {
        gl.BindBuffer(GL_COPY_WRITE_BUFFER, buffer);
        auto* bytes = static_cast<std::uint8_t*>(gl.MapBufferRange(GL_COPY_WRITE_BUFFER, 0, 4096, kPersistentWrite));
        Require(bytes != nullptr, "glMapBufferRange returned null");
        float triangle[6];
        std::memcpy(triangle, kTriangle, sizeof triangle);
        triangle[4] = 0.01f * (frame % 40) - 0.2f;
        std::memcpy(bytes, triangle, sizeof triangle);
        Require(gl.UnmapBuffer(GL_COPY_WRITE_BUFFER) == GL_TRUE, "glUnmapBuffer failed");
        DrawTriangle(gl, buffer, frame);
        surface.EndFrame("unmap", frame);
    }
    gl.DeleteBuffers(1, &buffer);
}

void RunTexture(int frames) {
    Surface surface;
    const GL gl;
    constexpr int kSide = 16;
    constexpr GLsizeiptr kImage = kSide * kSide * 4;
    GLuint buffer = 0, texture = 0;
    gl.GenBuffers(1, &buffer);
    auto* texels = static_cast<std::uint8_t*>(MapStorage(gl, buffer, kImage, kPersistentWrite, kPersistentWrite));
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kSide, kSide, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glEnable(GL_TEXTURE_2D);
    for (int frame = 1; frame <= frames; ++frame) {
        for (int i = 0; i < kImage; ++i) texels[i] = (i % 4 == 3) ? 255 : static_cast<std::uint8_t>(frame * 29 + i * 7);
        gl.BindBuffer(GL_PIXEL_UNPACK_BUFFER, buffer);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kSide, kSide, GL_RGBA, GL_UNSIGNED_BYTE, Offset(0));
        gl.BindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
        glClearColor(0.1f, 0.1f, 0.01f * (frame % 50), 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 0.0f);
        glVertex2f(-0.8f, -0.8f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex2f(0.8f, -0.8f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex2f(0.8f, 0.8f);
        glTexCoord2f(0.0f, 1.0f);
        glVertex2f(-0.8f, 0.8f);
        glEnd();
        surface.EndFrame("texture", frame);
    }
    glDeleteTextures(1, &texture);
    gl.DeleteBuffers(1, &buffer);
}

void RunPoll(int frames) {
    Surface surface;
    const GL gl;
    constexpr GLbitfield kReadWrite = GL_MAP_READ_BIT | kPersistentWrite;
    GLuint buffers[2] = {};
    gl.GenBuffers(2, buffers);
    gl.BindBuffer(GL_COPY_READ_BUFFER, buffers[0]);
    gl.BufferStorage(GL_COPY_READ_BUFFER, 16, nullptr, GL_DYNAMIC_STORAGE_BIT);
    auto* shown = static_cast<const float*>(MapStorage(gl, buffers[1], 16, kReadWrite, kReadWrite));
    for (int frame = 1; frame <= frames; ++frame) {
        const float colour[4] = {0.03f * (frame % 30), 0.5f, 1.0f - 0.03f * (frame % 30), 1.0f};
        gl.BindBuffer(GL_COPY_READ_BUFFER, buffers[0]);
        gl.BufferSubData(GL_COPY_READ_BUFFER, 0, sizeof colour, colour);
        gl.BindBuffer(GL_COPY_WRITE_BUFFER, buffers[1]);
        gl.CopyBufferSubData(GL_COPY_READ_BUFFER, GL_COPY_WRITE_BUFFER, 0, 0, sizeof colour);
        const GLsync fence = gl.FenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        glFlush();
        GLint status = GL_UNSIGNALED;
        for (int tries = 0; status != GL_SIGNALED; ++tries) {
            Require(tries < 100000, "poll: the fence never became signalled");
            gl.GetSynciv(fence, GL_SYNC_STATUS, 1, nullptr, &status);
            if (status != GL_SIGNALED) Sleep(0);
        }
        gl.DeleteSync(fence);
        Require(std::memcmp(shown, colour, sizeof colour) == 0, "poll: the GL's copy is not in the mapping");
        glClearColor(shown[0], shown[1], shown[2], shown[3]);
        glClear(GL_COLOR_BUFFER_BIT);
        surface.EndFrame("poll", frame);
    }
    gl.DeleteBuffers(2, buffers);
}

const Mode kModes[] = {{"renderer", RunRenderer}, {"one-byte", RunOneByte}, {"no-draw", RunNoDraw},
                       {"unmap", RunUnmap},       {"texture", RunTexture}, {"poll", RunPoll}};

}  // namespace

int main(int argc, char** argv) { return kestrel::test::RunModeProgram(argc, argv, "persistent_app", kModes); }
