#include "tests/support/SystemReadBack.h"

namespace {
template <class Fn>
void Take(Fn& slot, void* entry) {
    slot = reinterpret_cast<Fn>(entry);
}
}  // namespace

kestrel::ReadBackFunctions SystemReadBackFunctions() {
    const HMODULE gl = GetModuleHandleA("opengl32.dll");
    auto exported = [gl](const char* name) { return reinterpret_cast<void*>(GetProcAddress(gl, name)); };
    auto extension = [](const char* name) { return reinterpret_cast<void*>(wglGetProcAddress(name)); };
    kestrel::ReadBackFunctions f;
    Take(f.getIntegerv, exported("glGetIntegerv"));
    Take(f.readBuffer, exported("glReadBuffer"));
    Take(f.readPixels, exported("glReadPixels"));
    Take(f.pixelStorei, exported("glPixelStorei"));
    Take(f.makeCurrent, exported("wglMakeCurrent"));
    Take(f.getCurrentDC, exported("wglGetCurrentDC"));
    Take(f.getCurrentContext, exported("wglGetCurrentContext"));
    Take(f.getPixelFormat, exported("wglGetPixelFormat"));
    Take(f.describePixelFormat, exported("wglDescribePixelFormat"));
    Take(f.bindBuffer, extension("glBindBuffer"));
    Take(f.bindFramebuffer, extension("glBindFramebuffer"));
    return f;
}
