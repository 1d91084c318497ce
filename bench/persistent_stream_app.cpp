// A program that streams 4 MiB a frame through a persistent, coherent ring of three 4 MiB parts, as
// streaming renderers do, and reports its time per frame.
//   persistent_stream_app MODE FRAMES
// MODE says what each frame writes into its 4 MiB part:
//   changing   every byte new
//   repeating  the bytes the part held three frames before (written, but nothing changes)
//   sparse     16 new bytes in every 4 KiB page, the rest as before
// Each frame waits for the fence of the frame that last used its part, writes it, draws a triangle
// from it and swaps. Prints "persistent_stream_app: F frames in S s, W bytes written".
#include <windows.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/support/GLWindow.h"

namespace {
template <class Fn>
Fn Load(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(wglGetProcAddress(name)));
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const char* mode = argv[1];
    const int frames = std::atoi(argv[2]);
    const bool changing = std::strcmp(mode, "changing") == 0, sparse = std::strcmp(mode, "sparse") == 0;
    if (!changing && !sparse && std::strcmp(mode, "repeating") != 0) return 2;
    GLWindow window(64, 64);
    if (!window.error().empty()) {
        std::fprintf(stderr, "persistent_stream_app: %s\n", window.error().c_str());
        return 3;
    }
    auto genBuffers = Load<PFNGLGENBUFFERSPROC>("glGenBuffers");
    auto bindBuffer = Load<PFNGLBINDBUFFERPROC>("glBindBuffer");
    auto bufferStorage = Load<PFNGLBUFFERSTORAGEPROC>("glBufferStorage");
    auto mapRange = Load<PFNGLMAPBUFFERRANGEPROC>("glMapBufferRange");
    auto fenceSync = Load<PFNGLFENCESYNCPROC>("glFenceSync");
    auto clientWait = Load<PFNGLCLIENTWAITSYNCPROC>("glClientWaitSync");
    auto deleteSync = Load<PFNGLDELETESYNCPROC>("glDeleteSync");
    if (!genBuffers || !bindBuffer || !bufferStorage || !mapRange || !fenceSync || !clientWait || !deleteSync) {
        std::fprintf(stderr, "persistent_stream_app: no persistent buffers\n");
        return 4;
    }
    constexpr std::size_t kPart = 4u << 20;
    constexpr int kParts = 3;
    constexpr GLbitfield kFlags = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;
    GLuint buffer = 0;
    genBuffers(1, &buffer);
    bindBuffer(GL_ARRAY_BUFFER, buffer);
    bufferStorage(GL_ARRAY_BUFFER, kPart * kParts, nullptr, kFlags);
    auto* ring = static_cast<std::uint8_t*>(mapRange(GL_ARRAY_BUFFER, 0, kPart * kParts, kFlags));
    if (!ring) return 5;
    glEnableClientState(GL_VERTEX_ARRAY);
    GLsync fences[kParts] = {};
    const float triangle[6] = {-0.5f, -0.5f, 0.5f, -0.5f, 0.0f, 0.5f};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    std::uint64_t written = 0;
    for (int frame = 0; frame < frames; ++frame) {
        const int part = frame % kParts;
        if (fences[part]) {
            clientWait(fences[part], GL_SYNC_FLUSH_COMMANDS_BIT, 10000000000ull);
            deleteSync(fences[part]);
        }
        std::uint8_t* bytes = ring + part * kPart;
        if (sparse) {
            for (std::size_t page = 0; page < kPart; page += 4096) std::memset(bytes + page + 64, frame, 16);
            written += kPart / 4096 * 16;
        } else {
            // Whole words; "repeating" writes what the part's first use wrote.
            const std::uint32_t seed = changing ? static_cast<std::uint32_t>(frame) * 2654435761u : part * 977u;
            auto* words = reinterpret_cast<std::uint32_t*>(bytes);
            for (std::size_t i = 0; i < kPart / 4; ++i) words[i] = seed + static_cast<std::uint32_t>(i);
            written += kPart;
        }
        std::memcpy(bytes, triangle, sizeof triangle);
        glClear(GL_COLOR_BUFFER_BIT);
        glVertexPointer(2, GL_FLOAT, 0, reinterpret_cast<const void*>(part * kPart));
        glDrawArrays(GL_TRIANGLES, 0, 3);
        fences[part] = fenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        SwapBuffers(window.dc());
    }
    glFinish();
    QueryPerformanceCounter(&end);
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("persistent_stream_app: %d frames in %.4f s, %llu bytes written\n", frames, seconds,
                static_cast<unsigned long long>(written));
    return 0;
}
