// The OpenGL and wgl functions a frame read-back calls. The recorder hands in the real library's
// entry points, so that the read-back is never recorded; the optional ones may be null.
#pragma once
#include <windows.h>

namespace kestrel {

struct ReadBackFunctions {
    void(__stdcall* getIntegerv)(unsigned name, int* value) = nullptr;
    void(__stdcall* readBuffer)(unsigned mode) = nullptr;
    void(__stdcall* readPixels)(int x, int y, int width, int height, unsigned format, unsigned type,
                                void* pixels) = nullptr;
    void(__stdcall* pixelStorei)(unsigned name, int value) = nullptr;
    BOOL(__stdcall* makeCurrent)(HDC dc, HGLRC context) = nullptr;
    HDC(__stdcall* getCurrentDC)() = nullptr;
    HGLRC(__stdcall* getCurrentContext)() = nullptr;
    // Optional: without them the application's bindings are taken to be 0, and double buffering is
    // asked of the GL. A context without pixel buffers or framebuffer objects gets none of the two
    // binders, so that their binding queries, which it would refuse, are never made.
    void(__stdcall* bindBuffer)(unsigned target, unsigned buffer) = nullptr;
    void(__stdcall* bindFramebuffer)(unsigned target, unsigned framebuffer) = nullptr;
    int(__stdcall* getPixelFormat)(HDC dc) = nullptr;
    int(__stdcall* describePixelFormat)(HDC dc, int format, UINT size, PIXELFORMATDESCRIPTOR* description) = nullptr;

    // Whether the context has display lists (no core profile): only then is it asked whether one is
    // being compiled.
    bool displayLists = true;

    bool complete() const {
        return getIntegerv && readBuffer && readPixels && pixelStorei && makeCurrent && getCurrentDC &&
               getCurrentContext;
    }
};

}  // namespace kestrel
