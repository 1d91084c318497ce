// The three swap functions end a frame: read the frame when its image is due, swap, record, pace,
// save the image, advance the frame. (A single-buffered window's frames end at glFlush and glFinish:
// capture/DrawnSurfaces.cpp.)
#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/RecorderSupport.h"

namespace kestrel {

kgl::BOOL GLKestrel::wglSwapBuffers(kgl::HDC hdc) {
    EnterCall();
    BeforeGLReads();
    const FramePixels frame = FrameImageBeforeSwap(hdc);
    const kgl::BOOL result = CallReal<kgl::BOOL>(*this, fn::wglSwapBuffers, api::wglSwapBuffers, hdc);
    lastPresentedDC_ = hdc;
    if (ShouldRecordOrLeave()) return result;
    TrackDrawable(hdc);
    const Packed payload(HandleValue(hdc), static_cast<std::uint32_t>(result));
    BeginRecord(api::wglSwapBuffers, payload.kSize);
    WriteData(payload.kSize, payload.bytes);
    SurfacePresented(HandleValue(hdc));
    EndFrame(frame);
    LeaveCall();
    return result;
}

kgl::BOOL GLKestrel::wglSwapLayerBuffers(kgl::HDC hdc, kgl::UINT fuFlags) {
    EnterCall();
    BeforeGLReads();
    const FramePixels frame = FrameImageBeforeSwap(hdc);
    const kgl::BOOL result =
        CallReal<kgl::BOOL>(*this, fn::wglSwapLayerBuffers, api::wglSwapLayerBuffers, hdc, fuFlags);
    if (ShouldRecordOrLeave()) return result;
    TrackDrawable(hdc);
    const Packed payload(HandleValue(hdc), static_cast<std::uint32_t>(fuFlags), static_cast<std::uint32_t>(result));
    BeginRecord(api::wglSwapLayerBuffers, payload.kSize);
    WriteData(payload.kSize, payload.bytes);
    SurfacePresented(HandleValue(hdc));
    EndFrame(frame);
    LeaveCall();
    return result;
}

kgl::DWORD GLKestrel::wglSwapMultipleBuffers(kgl::UINT n, const kgl::WGLSWAP* toSwap) {
    EnterCall();
    BeforeGLReads();
    // The first surface of the list stands for the frame.
    const FramePixels frame = FrameImageBeforeSwap(n > 0 && toSwap ? toSwap[0].hdc : lastPresentedDC_);
    const kgl::DWORD result =
        CallReal<kgl::DWORD>(*this, fn::wglSwapMultipleBuffers, api::wglSwapMultipleBuffers, n, toSwap);
    if (ShouldRecordOrLeave()) return result;
    // The entries are the process's own WGLSWAP structures, handles at its pointer width.
    const Packed fixed(static_cast<std::uint32_t>(n), HandleValue(toSwap), static_cast<std::uint32_t>(result));
    const std::uint32_t entries = n * static_cast<std::uint32_t>(sizeof(kgl::WGLSWAP));
    BeginRecord(api::wglSwapMultipleBuffers, fixed.kSize + entries);
    WriteData(fixed.kSize, fixed.bytes);
    WriteBlock(entries, toSwap);
    for (kgl::UINT i = 0; toSwap && i < n; ++i) SurfacePresented(HandleValue(toSwap[i].hdc));
    EndFrame(frame);
    LeaveCall();
    return result;
}

}  // namespace kestrel
