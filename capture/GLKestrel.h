// The concrete capturer: the recorders that keep state across calls override the generated ones.
#pragma once
#include "capture/GLBaseCapturer.h"

namespace kestrel {

class GLKestrel final : public GLBaseCapturer {
public:
    GLKestrel();
    ~GLKestrel() override;

    // Frame boundaries.
    kgl::BOOL wglSwapBuffers(kgl::HDC hdc) override;
    kgl::BOOL wglSwapLayerBuffers(kgl::HDC hdc, kgl::UINT fuFlags) override;
    kgl::DWORD wglSwapMultipleBuffers(kgl::UINT n, const kgl::WGLSWAP* toSwap) override;

    // Extension lookup (glrecord/ExtensionLookup.cpp): the interceptor of a known extension name
    // whose real entry point is resolved, else null; every extension slot filled at once.
    void* LookupInterceptor(const char* name);
    void ResolveAllExtensions();
    kgl::PROC wglGetProcAddress(kgl::LPCSTR lpszProc) override;
    kgl::BOOL wglMakeCurrent(kgl::HDC hDc, kgl::HGLRC newContext) override;
    void glPopDebugGroup() override;

    kgl::HDC lastPresentedDC() const { return lastPresentedDC_; }

private:
    kgl::HDC lastPresentedDC_ = nullptr;
};

// The one capturer of the process.
extern GLKestrel g_kestrel;

}  // namespace kestrel
