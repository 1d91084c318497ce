// Which surfaces were drawn into since their last frame end. Draws mark the context that made them
// (the draw hook, clears and display list calls); a frame end of a surface clears the marks of the
// contexts on it. A single-buffered window shows what is drawn into its only buffer and is never
// swapped: a glFlush or glFinish after drawing into it ends its frame, as a swap ends a frame of a
// double-buffered one.
#include <windows.h>

#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/RealGL.h"
#include "glrecord/RecorderSupport.h"
#include "glrecord/SizeRules.h"
#include "stream/FrameEndPayload.h"

namespace kestrel {

void GLKestrel::MarkDrawn() {
    if (ContextState* state = CurrentState()) state->drawnSinceFrameEnd = true;
}

void GLKestrel::SurfacePresented(Address dc) {
    for (const auto& [handle, state] : contextStates_)
        if (state->deviceContext == dc) state->drawnSinceFrameEnd = false;
    finalImages_.Drop(dc);
}

bool GLKestrel::SingleBufferedWindow(Address dc) {
    const auto known = singleBuffered_.find(dc);
    if (known != singleBuffered_.end()) return known->second;
    const HDC handle = reinterpret_cast<HDC>(dc);
    auto getFormat = realgl::Entry<int(__stdcall*)(HDC)>(fn::wglGetPixelFormat);
    auto describe = realgl::Entry<int(__stdcall*)(HDC, int, UINT, PIXELFORMATDESCRIPTOR*)>(fn::wglDescribePixelFormat);
    // Pixel buffers and bitmaps are drawn into for other reasons than to be shown: only a window's
    // flush ends a frame.
    if (!handle || !WindowFromDC(handle) || !getFormat || !describe) return false;
    PIXELFORMATDESCRIPTOR description{};
    const int format = getFormat(handle);
    if (format <= 0 || describe(handle, format, sizeof description, &description) == 0) return false;
    // A window's format is set once: what was learnt holds until the device context names another window.
    const bool single = (description.dwFlags & PFD_DOUBLEBUFFER) == 0;
    try {
        singleBuffered_[dc] = single;
    } catch (...) {
    }
    return single;
}

void GLKestrel::EndFrameOfSingleBuffered(std::uint32_t apiId) {
    ContextState* state = CurrentState();
    if (!state || !state->drawnSinceFrameEnd || !SingleBufferedWindow(state->deviceContext)) return;
    const FrameEndPayload end{state->deviceContext, apiId};
    BeginRecord(FrameEndPayload::kId, sizeof end);
    WriteData(sizeof end, &end);
    // The window's only buffer holds the frame once the flush has handed the drawing over.
    const FramePixels frame = FrameImageDue() ? ReadFrame(reinterpret_cast<kgl::HDC>(
                                                    static_cast<std::uintptr_t>(state->deviceContext)))
                                              : FramePixels{};
    SurfacePresented(state->deviceContext);
    EndFrame(frame);
}

void GLKestrel::glFlush() {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glFlush, api::glFlush);
    if (ShouldRecordOrLeave()) return;
    BeginRecord(api::glFlush, 0);
    EndFrameOfSingleBuffered(api::glFlush);
    LeaveCall();
}

void GLKestrel::glFinish() {
    EnterCall();
    BeforeGLReads();
    CallReal<void>(*this, fn::glFinish, api::glFinish);
    AfterGLWait();
    if (ShouldRecordOrLeave()) return;
    BeginRecord(api::glFinish, 0);
    EndFrameOfSingleBuffered(api::glFinish);
    LeaveCall();
}

// Clears and display lists draw too, though no draw hook runs for them.
void GLKestrel::glClear(kgl::GLbitfield mask) {
    EnterCall();
    CallReal<void>(*this, fn::glClear, api::glClear, mask);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glClear, mask);
    MarkDrawn();
    LeaveCall();
}

void GLKestrel::glCallList(kgl::GLuint list) {
    EnterCall();
    CallReal<void>(*this, fn::glCallList, api::glCallList, list);
    if (ShouldRecordOrLeave()) return;
    RecordValues(*this, api::glCallList, list);
    MarkDrawn();
    LeaveCall();
}

void GLKestrel::glCallLists(kgl::GLsizei n, kgl::GLenum type, const void* lists) {
    EnterCall();
    CallReal<void>(*this, fn::glCallLists, api::glCallLists, n, type, lists);
    if (ShouldRecordOrLeave()) return;
    // As the generated recorder writes it: the names' bytes, zeros for a null pointer.
    const std::uint32_t bytes = rules::BlockBytes(n, rules::TypeSize(type));
    Packed<kgl::GLsizei, kgl::GLenum, const void*> fixed(n, type, lists);
    BeginRecordWith(api::glCallLists, sizeof fixed.bytes + bytes, fixed.room, sizeof fixed.bytes);
    WriteBlock(bytes, lists);
    MarkDrawn();
    LeaveCall();
}

}  // namespace kestrel
