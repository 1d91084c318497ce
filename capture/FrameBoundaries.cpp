// The three swap functions end a frame: read the frame when its image is due, swap, record, pace,
// save the image, advance the frame. (A single-buffered window's frames end at glFlush and glFinish:
// capture/DrawnSurfaces.cpp.)
#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/RecorderSupport.h"

namespace kestrel {

kgl::BOOL GLKestrel::wglSwapBuffers(kgl::HDC hdc) {
    EnterCall();
    const FramePixels frame = FrameImageBeforeSwap(hdc);
    const kgl::BOOL result = CallReal<kgl::BOOL>(*this, fn::wglSwapBuffers, api::wglSwapBuffers, hdc);
    lastPresentedDC_ = hdc;
    if (ShouldRecordOrLeave()) return result;
    TrackDrawable(hdc);
    const std::uint32_t payload[2] = {HandleValue(hdc), static_cast<std::uint32_t>(result)};
    BeginRecord(api::wglSwapBuffers, sizeof payload);
    WriteData(sizeof payload, payload);
    SurfacePresented(HandleValue(hdc));
    EndFrame(frame);
    LeaveCall();
    return result;
}

kgl::BOOL GLKestrel::wglSwapLayerBuffers(kgl::HDC hdc, kgl::UINT fuFlags) {
    EnterCall();
    const FramePixels frame = FrameImageBeforeSwap(hdc);
    const kgl::BOOL result =
        CallReal<kgl::BOOL>(*this, fn::wglSwapLayerBuffers, api::wglSwapLayerBuffers, hdc, fuFlags);
    if (ShouldRecordOrLeave()) return result;
    TrackDrawable(hdc);
    const std::uint32_t payload[3] = {HandleValue(hdc), fuFlags, static_cast<std::uint32_t>(result)};
    BeginRecord(api::wglSwapLayerBuffers, sizeof payload);
    WriteData(sizeof payload, payload);
    SurfacePresented(HandleValue(hdc));
    EndFrame(frame);
    LeaveCall();
    return result;
}

kgl::DWORD GLKestrel::wglSwapMultipleBuffers(kgl::UINT n, const kgl::WGLSWAP* toSwap) {
    EnterCall();
    // The first surface of the list stands for the frame.
    const FramePixels frame = FrameImageBeforeSwap(n > 0 && toSwap ? toSwap[0].hdc : lastPresentedDC_);
    const kgl::DWORD result =
        CallReal<kgl::DWORD>(*this, fn::wglSwapMultipleBuffers, api::wglSwapMultipleBuffers, n, toSwap);
    if (ShouldRecordOrLeave()) return result;
    const std::uint32_t fixed[3] = {n, HandleValue(toSwap), result};
    const std::uint32_t entries = n * static_cast<std::uint32_t>(sizeof(kgl::WGLSWAP));
    BeginRecord(api::wglSwapMultipleBuffers, sizeof fixed + entries);
    WriteData(sizeof fixed, fixed);
    WriteBlock(entries, toSwap);
    for (kgl::UINT i = 0; toSwap && i < n; ++i) SurfacePresented(HandleValue(toSwap[i].hdc));
    EndFrame(frame);
    LeaveCall();
    return result;
}

}  // namespace kestrel
