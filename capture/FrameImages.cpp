// Frame images of the OpenGL capturer: which context's window is read, and when.
#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/RealGL.h"
#include "glrecord/RecorderSupport.h"
#include "images/ImageTriggers.h"

namespace kestrel {

namespace {

// The real library's entry points: the read-back is never recorded. Extension slots are filled at a
// context's first activation, so they are taken afresh for every read.
ReadBackFunctions RealReadBackFunctions(const ContextFeatures& features) {
    using realgl::Entry;
    ReadBackFunctions gl;
    gl.getIntegerv = Entry<decltype(gl.getIntegerv)>(fn::glGetIntegerv);
    gl.readBuffer = Entry<decltype(gl.readBuffer)>(fn::glReadBuffer);
    gl.readPixels = Entry<decltype(gl.readPixels)>(fn::glReadPixels);
    gl.pixelStorei = Entry<decltype(gl.pixelStorei)>(fn::glPixelStorei);
    gl.makeCurrent = Entry<decltype(gl.makeCurrent)>(fn::wglMakeCurrent);
    gl.getCurrentDC = Entry<decltype(gl.getCurrentDC)>(fn::wglGetCurrentDC);
    gl.getCurrentContext = Entry<decltype(gl.getCurrentContext)>(fn::wglGetCurrentContext);
    // Only what the context has: the binding queries of the others would raise errors.
    if (features.pixelBuffers) gl.bindBuffer = Entry<decltype(gl.bindBuffer)>(fn::glBindBuffer, fn::glBindBufferARB);
    // Only the core function takes the read framebuffer as its own target.
    if (features.framebufferObjects) gl.bindFramebuffer = Entry<decltype(gl.bindFramebuffer)>(fn::glBindFramebuffer);
    gl.displayLists = features.fixedFunction;
    gl.getPixelFormat = Entry<decltype(gl.getPixelFormat)>(fn::wglGetPixelFormat);
    gl.describePixelFormat = Entry<decltype(gl.describePixelFormat)>(fn::wglDescribePixelFormat);
    return gl;
}

}  // namespace

void GLKestrel::DrawHook() {
    MarkDrawn();
    if (!settings_.imagesByDraw) return;
    // Right after the draw, in the draw's own context: the buffer it drew into holds its result.
    if (DrawImageDue()) {
        const FramePixels frame = ReadFrame(nullptr);
        if (frame) SaveFrameImage(frame);
    }
    // In draw mode imagesTaken counts draws, whether or not an image was taken.
    ++imagesTaken_;
}

FramePixels GLKestrel::FrameImageBeforeSwap(kgl::HDC dc) {
    // After the swap the back buffer's contents are undefined and the front buffer of a composited
    // window cannot be read: the frame is read just before it is presented.
    if (!OutermostRunning() || !FrameImageDue()) return {};
    return ReadFrame(dc);
}

FramePixels GLKestrel::ReadFrame(kgl::HDC dc) {
    auto currentContext = realgl::Entry<HGLRC(__stdcall*)()>(fn::wglGetCurrentContext);
    auto currentDC = realgl::Entry<HDC(__stdcall*)()>(fn::wglGetCurrentDC);
    if (!frameImages_ || !currentContext || !currentDC) return {};
    HGLRC context = nullptr;
    const ContextState* read = nullptr;
    // Any context on the window reads its framebuffer; the current one needs no switch.
    const bool currentOnDC = currentContext() && currentDC() == dc;
    if (dc && !currentOnDC) {
        for (const auto& [handle, state] : contextStates_) {
            if (state->deviceContext == HandleValue(dc)) {
                context = reinterpret_cast<HGLRC>(static_cast<std::uintptr_t>(handle));
                read = state.get();
                break;
            }
        }
    } else {
        read = CurrentState();
    }
    // A context the recorder has not seen activated has unknown features; one between glBegin and
    // glEnd may not be read at all.
    if (!read || !read->initialised() || read->insideBeginEnd) return {};
    const ReadBackFunctions gl = RealReadBackFunctions(read->features);
    if (!gl.complete()) return {};
    const FramePixels frame = frameReader_.Read(gl, context ? dc : nullptr, context);
    if (frame) frameImages_->SetUpFrame(frame.width, frame.height);
    return frame;
}

void GLKestrel::BeforeMakeCurrent(kgl::HDC dc, kgl::HGLRC context) {
    const auto current = threadContexts_.find(CurrentThreadId());
    if (current == threadContexts_.end() || current->second == 0) return;
    const auto state = contextStates_.find(current->second);
    // Making the same context current on the same surface again changes nothing.
    if (state != contextStates_.end() && current->second == HandleValue(context) &&
        state->second->deviceContext == HandleValue(dc))
        return;
    KeepFinalImage(current->second);
}

void GLKestrel::KeepFinalImage(Address context) {
    // Only inside a recorded call: the maps change under the record stream's lock.
    if (!frameImages_ || !OutermostRunning() || !FinalImageDue(settings_, frameNumber_)) return;
    const auto found = contextStates_.find(context);
    if (found == contextStates_.end() || !found->second->drawnSinceFrameEnd || !found->second->deviceContext) return;
    const Address dc = found->second->deviceContext;
    // Written now: the finish runs at process detach, where writing a PNG file is not safe (it has
    // crashed programs under Wine).
    if (finalImages_.size() == 0) finalImages_.WriteThrough(frameImages_->pathPrefix());
    // Only a window is read; a context current on another thread cannot read it here.
    const FramePixels frame = ReadFrame(reinterpret_cast<kgl::HDC>(dc));
    if (!frame) return;
    finalImages_.Keep(dc, frame);
    // Read once: its deletion after a release does not read it again through a context made current
    // for the purpose.
    found->second->drawnSinceFrameEnd = false;
}

}  // namespace kestrel
