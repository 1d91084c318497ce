// Loops of small calls, one function a loop, timed one by one: what a recorded call costs the
// program that makes it.
//   call_loop_app N   N calls of each of glVertex3f, glColor4f, glUniform4fv and glTexParameteri
// Prints "loop NAME CALLS SECONDS MEDIAN_NS LOWEST_NS" a line each: the whole loop's seconds, and
// the nanoseconds a call of its median and of its fastest batch of a thousand calls.
#include <windows.h>
#include <GL/gl.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/support/GLWindow.h"

namespace {

using Uniform4fv = void(APIENTRY*)(GLint, GLsizei, const GLfloat*);

double Now() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

constexpr int kBatch = 1000;

// The whole loop's time, and the median and lowest of its batches: a batch that the machine's
// other work interrupted lands above the median, so the median shows the calls' own cost even on a
// busy machine, where the whole loop's time also holds whatever else ran meanwhile.
template <class Body>
void Loop(const char* name, int calls, Body body) {
    std::vector<double> batches;
    batches.reserve(calls / kBatch + 1);
    const double start = Now();
    for (int done = 0; done < calls;) {
        const int n = calls - done < kBatch ? calls - done : kBatch;
        const double batchStart = Now();
        body(n);
        if (n == kBatch) batches.push_back(Now() - batchStart);
        done += n;
    }
    glFinish();
    const double seconds = Now() - start;
    std::sort(batches.begin(), batches.end());
    const double median = batches.empty() ? 0 : batches[batches.size() / 2];
    const double lowest = batches.empty() ? 0 : batches.front();
    std::printf("loop %s %d %.6f %.3f %.3f\n", name, calls, seconds, median * 1e9 / kBatch, lowest * 1e9 / kBatch);
}

}  // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::atoi(argv[1]) : 0;
    if (calls <= 0) return 2;
    GLWindow window(64, 64);
    if (!window.error().empty()) {
        std::fprintf(stderr, "call_loop_app: %s\n", window.error().c_str());
        return 3;
    }
    const auto uniform4fv = reinterpret_cast<Uniform4fv>(reinterpret_cast<void*>(wglGetProcAddress("glUniform4fv")));
    if (!uniform4fv) return 4;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    static const GLfloat kValues[4] = {1.0f, 0.5f, 0.25f, 1.0f};

    // Vertices between glBegin and glEnd a batch at a time, so that every call is one the GL takes.
    Loop("glVertex3f", calls, [](int n) {
        glBegin(GL_POINTS);
        for (int i = 0; i < n; ++i) glVertex3f(0.0f, 0.0f, 0.0f);
        glEnd();
    });
    Loop("glColor4f", calls, [](int n) {
        for (int i = 0; i < n; ++i) glColor4f(1.0f, 0.5f, 0.25f, 1.0f);
    });
    // Location -1: the GL ignores the values without an error; the call is still made and recorded.
    Loop("glUniform4fv", calls, [&](int n) {
        for (int i = 0; i < n; ++i) uniform4fv(-1, 1, kValues);
    });
    Loop("glTexParameteri", calls, [](int n) {
        for (int i = 0; i < n; ++i) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, (i & 1) ? GL_LINEAR : GL_NEAREST);
    });
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        std::fprintf(stderr, "call_loop_app: the GL raised 0x%x\n", error);
        return 5;
    }
    return 0;
}
