// The pixel format the test and benchmark windows ask for: double-buffered RGBA with depth.
#pragma once
#include <windows.h>

inline PIXELFORMATDESCRIPTOR WindowPixelFormat() {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 24;
    pfd.cAlphaBits = 8;
    pfd.cDepthBits = 24;
    return pfd;
}
