// A window with an OpenGL context, for the tests and fixtures that need a real GL.
#pragma once
#include <windows.h>
#include <GL/gl.h>
#include <string>

class GLWindow {
public:
    // The size is the window's outer size. A popup window has no frame, so its client area is exactly
    // that size, and it may be larger than the screen.
    GLWindow(int width = 64, int height = 64, bool popup = false);
    ~GLWindow();
    GLWindow(const GLWindow&) = delete;
    GLWindow& operator=(const GLWindow&) = delete;

    // Empty when the window and a current context exist; otherwise what failed.
    const std::string& error() const { return error_; }
    HDC dc() const { return dc_; }
    HGLRC context() const { return rc_; }
    HWND window() const { return hwnd_; }
    // Resizes the window so that its client area has exactly this size; false when it did not.
    bool SetClientSize(int width, int height);

private:
    HWND hwnd_ = nullptr;
    HDC dc_ = nullptr;
    HGLRC rc_ = nullptr;
    std::string error_;
};
