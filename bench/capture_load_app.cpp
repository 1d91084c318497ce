// A program that makes OpenGL calls as fast as it can and reports how long they took.
//   capture_load_app small N   N rounds of glBegin, glColor4f, glVertex3f x3, glEnd
//   capture_load_app large N   N glDeleteTextures calls of 262,144 names each (a 1 MiB data block)
//   capture_load_app uploads N N glBufferSubData calls of 1 MiB into one buffer object
#include <windows.h>
#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tests/support/BufferFunctions.h"
#include "tests/support/GLWindow.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const bool large = std::strcmp(argv[1], "large") == 0, uploads = std::strcmp(argv[1], "uploads") == 0;
    const int rounds = std::atoi(argv[2]);
    GLWindow window(64, 64);
    if (!window.error().empty()) {
        std::fprintf(stderr, "capture_load_app: %s\n", window.error().c_str());
        return 3;
    }
    std::vector<GLuint> names(large ? 262144 : 0);
    const BufferFunctions buffers;
    std::vector<unsigned char> block(uploads ? 1u << 20 : 0);
    if (uploads) {
        if (!buffers.ok()) return 4;
        for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<unsigned char>(i * 13);
        buffers.NewArrayBuffer();
        buffers.bufferData(0x8892, static_cast<std::ptrdiff_t>(block.size()), nullptr, 0x88E0);
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    long long calls = 0;
    for (int r = 0; r < rounds; ++r) {
        if (uploads) {
            block[0] = static_cast<unsigned char>(r);
            buffers.bufferSubData(0x8892, 0, static_cast<std::ptrdiff_t>(block.size()), block.data());
            ++calls;
        } else if (large) {
            glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
            ++calls;
        } else {
            glBegin(GL_TRIANGLES);
            glColor4f(1.0f, 0.5f, 0.25f, 1.0f);
            glVertex3f(0.0f, 0.0f, 0.0f);
            glVertex3f(1.0f, 0.0f, 0.0f);
            glVertex3f(0.0f, 1.0f, 0.0f);
            glEnd();
            calls += 6;
        }
    }
    glFinish();
    QueryPerformanceCounter(&end);
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("capture_load_app: %lld calls in %.4f s\n", calls, seconds);
    return 0;
}
