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

GLWindow::GLWindow(int width, int height, bool popup) {
    RegisterOnce();
    const DWORD style = (popup ? WS_POPUP : WS_OVERLAPPEDWINDOW) | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    hwnd_ = CreateWindowA(kClassName, "kestrel test", style, 0, 0, width, height, nullptr, nullptr,
                          GetModuleHandleA(nullptr), nullptr);
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

bool GLWindow::SetClientSize(int width, int height) {
    RECT outer{}, client{};
    if (!GetWindowRect(hwnd_, &outer) || !GetClientRect(hwnd_, &client)) return false;
    const int frameWidth = (outer.right - outer.left) - client.right;
    const int frameHeight = (outer.bottom - outer.top) - client.bottom;
    SetWindowPos(hwnd_, nullptr, 0, 0, width + frameWidth, height + frameHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return GetClientRect(hwnd_, &client) && client.right == width && client.bottom == height;
}
