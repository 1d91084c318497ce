#include "tests/support/GLWindow.h"

#include "tests/support/WindowPixelFormat.h"

namespace {
const char* const kClassName = "KestrelTestWindow";

void RegisterOnce() {
    static bool done = false;
    if (done) return;
    WNDCLASSA wc{};
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
    done = true;
}
}  // namespace

GLWindow::GLWindow(int width, int height) {
    RegisterOnce();
    hwnd_ = CreateWindowA(kClassName, "kestrel test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0,
                          width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!hwnd_) { error_ = "CreateWindowA failed"; return; }
    dc_ = GetDC(hwnd_);
    const PIXELFORMATDESCRIPTOR pfd = WindowPixelFormat();
    int format = ChoosePixelFormat(dc_, &pfd);
    if (format == 0) { error_ = "ChoosePixelFormat returned 0"; return; }
    if (!SetPixelFormat(dc_, format, &pfd)) { error_ = "SetPixelFormat failed"; return; }
    rc_ = wglCreateContext(dc_);
    if (!rc_) { error_ = "wglCreateContext failed"; return; }
    if (!wglMakeCurrent(dc_, rc_)) { error_ = "wglMakeCurrent failed"; return; }
}

GLWindow::~GLWindow() {
    if (rc_) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(rc_);
    }
    if (dc_) ReleaseDC(hwnd_, dc_);
    if (hwnd_) DestroyWindow(hwnd_);
}
