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

    kgl::HDC lastPresentedDC() const { return lastPresentedDC_; }

private:
    kgl::HDC lastPresentedDC_ = nullptr;
};

// The one capturer of the process.
extern GLKestrel g_kestrel;

}  // namespace kestrel
