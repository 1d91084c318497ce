// Cost of one frame image, as the recorder takes it: the read-back of the drawn buffer with the red
// and blue swap, and the PNG encode and write, for a 640 x 480 and a 1920 x 1080 window, beside the
// time of a frame without images (draw and swap).
#include <windows.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "images/FrameImageSettings.h"
#include "images/FrameReader.h"
#include "tests/support/GLWindow.h"
#include "tests/support/SystemReadBack.h"

namespace {
double NowMs() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / perMs;
}

// The median of several runs, so that a busy neighbour on the machine shows less.
template <class Body>
double MedianMs(int runs, Body body) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = NowMs();
        body(i);
        times.push_back(NowMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A frame like a rendered scene: smooth colour gradients over many triangles, changing every frame.
void DrawFrame(int width, int height, int frame) {
    glViewport(0, 0, width, height);
    glClearColor(0.1f, 0.15f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_TRIANGLES);
    for (int i = 0; i < 400; ++i) {
        const float x = -1.0f + 2.0f * static_cast<float>((i * 37 + frame) % 100) / 100.0f;
        const float y = -1.0f + 2.0f * static_cast<float>((i * 61) % 100) / 100.0f;
        glColor3f(static_cast<float>(i % 7) / 7.0f, 0.3f, 1.0f - static_cast<float>(i % 5) / 5.0f);
        glVertex2f(x, y);
        glColor3f(0.9f, static_cast<float>(i % 11) / 11.0f, 0.2f);
        glVertex2f(x + 0.3f, y + 0.05f);
        glColor3f(0.2f, 0.8f, static_cast<float>(i % 3) / 3.0f);
        glVertex2f(x + 0.1f, y + 0.35f);
    }
    glEnd();
}
}  // namespace

int main() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "kestrel-bench-images";
    CreateDirectoryA(folder.c_str(), nullptr);
    kestrel::CaptureSettings settings{};
    settings.imagesByFrame = 1;
    std::snprintf(settings.imageFolder, sizeof settings.imageFolder, "%s", folder.c_str());

    std::printf("%-10s %14s %14s %14s %14s %10s\n", "window", "frame ms", "image ms", "read-back ms", "PNG ms", "PNG KB");
    struct Size { int width, height; };
    for (const Size size : {Size{640, 480}, Size{1920, 1080}}) {
        GLWindow window(size.width, size.height, true);
        RECT client{};
        GetClientRect(window.window(), &client);
        if (!window.error().empty() || client.right != size.width || client.bottom != size.height) {
            std::fprintf(stderr, "bench_frame_image: no %dx%d window: %s\n", size.width, size.height,
                         window.error().c_str());
            return 1;
        }
        const kestrel::ReadBackFunctions gl = SystemReadBackFunctions();
        kestrel::FrameReader reader;
        auto images = kestrel::FrameImageSettings::Create(settings, "bench");

        const double frameMs = MedianMs(60, [&](int i) {
            DrawFrame(size.width, size.height, i);
            SwapBuffers(window.dc());
            glFinish();
        });
        DrawFrame(size.width, size.height, 0);
        glFinish();
        kestrel::FramePixels frame;
        const double readMs = MedianMs(20, [&](int) { frame = reader.Read(gl, window.dc(), window.context()); });
        if (!frame) {
            std::fprintf(stderr, "bench_frame_image: the read-back gave no pixels\n");
            return 1;
        }
        images->SetUpFrame(frame.width, frame.height);
        const double pngMs = MedianMs(10, [&](int i) { images->Step(static_cast<std::uint32_t>(i + 1), frame.top, frame.stride); });

        WIN32_FILE_ATTRIBUTE_DATA data{};
        const std::string file = folder + "\\bench_0001.png";
        GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data);
        char name[32];
        std::snprintf(name, sizeof name, "%dx%d", size.width, size.height);
        std::printf("%-10s %14.2f %14.2f %14.2f %14.2f %10.0f\n", name, frameMs, readMs + pngMs, readMs, pngMs,
                    data.nFileSizeLow / 1024.0);
        for (int i = 1; i <= 10; ++i) {
            char png[64];
            std::snprintf(png, sizeof png, "\\bench_%.4d.png", i);
            DeleteFileA((folder + png).c_str());
        }
    }
    RemoveDirectoryA(folder.c_str());
    std::printf("image ms = read-back ms (glReadPixels and the red/blue swap) + PNG ms (encode and write)\n");
    return 0;
}
