// Contexts, device contexts and frames: the wgl calls of the capture, re-made on the replay's own
// windows, the swaps and single-buffered frame ends that end its frames, and the final images.
#include <cstring>
#include <string>

#include "controller/replay/Replayer.h"
#include "gen/ApiTable.h"
#include "images/PNG32ImageInterface.h"

namespace kestrel::replay {

namespace {
constexpr std::uint32_t kDescriptorBytes = 40;
}  // namespace

void Replayer::MakeCurrent(std::uint32_t dc, std::uint32_t context) {
    if (current_.dc == dc && current_.context == context) return;
    auto makeCurrent = gl_.Get<BOOL(__stdcall*)(HDC, HGLRC)>("wglMakeCurrent");
    if (!makeCurrent) return;
    const auto found = contexts_.find(context);
    if (context == 0 || found == contexts_.end() || !found->second.real) {
        makeCurrent(nullptr, nullptr);
        current_ = {};
        return;
    }
    HDC real = surfaces_.DeviceContext(dc ? dc : found->second.dc);
    if (!real || !makeCurrent(real, found->second.real)) {
        makeCurrent(nullptr, nullptr);
        current_ = {};
        return;
    }
    current_ = {dc, context};
    names_.SetScope(found->second.group, context);
}

void Replayer::SwitchThread(std::uint32_t thread, std::uint32_t context) {
    thread_ = thread;
    const auto known = threads_.find(thread);
    if (known != threads_.end()) {
        MakeCurrent(known->second.dc, known->second.context);
        return;
    }
    // A thread first seen here has the context the capture says, made current before its capture began.
    const auto found = contexts_.find(context);
    MakeCurrent(found != contexts_.end() ? found->second.dc : 0, context);
}

HGLRC Replayer::CreateContextWithAttributes(HDC dc, HGLRC share, const int* attributes) {
    using Create = HGLRC(__stdcall*)(HDC, HGLRC, const int*);
    auto create = gl_.Get<Create>("wglCreateContextAttribsARB");
    if (!create) {
        // The extension is found only through a current context: borrow one on the same surface.
        auto createContext = gl_.Get<HGLRC(__stdcall*)(HDC)>("wglCreateContext");
        auto makeCurrent = gl_.Get<BOOL(__stdcall*)(HDC, HGLRC)>("wglMakeCurrent");
        auto deleteContext = gl_.Get<BOOL(__stdcall*)(HGLRC)>("wglDeleteContext");
        auto currentDC = gl_.Get<HDC(__stdcall*)()>("wglGetCurrentDC");
        auto currentContext = gl_.Get<HGLRC(__stdcall*)()>("wglGetCurrentContext");
        if (!createContext || !makeCurrent || !deleteContext || !currentDC || !currentContext) return nullptr;
        HDC oldDC = currentDC();
        HGLRC oldContext = currentContext();
        HGLRC helper = createContext(dc);
        if (helper && makeCurrent(dc, helper)) create = gl_.Get<Create>("wglCreateContextAttribsARB");
        makeCurrent(oldDC, oldContext);
        if (helper) deleteContext(helper);
        if (!create) return nullptr;
    }
    return create(dc, share, attributes);
}

bool Replayer::ReplayContextCall(const Call& call, Step& step) {
    switch (call.id) {
    case api::wglCreateContext:
    case api::wglCreateLayerContext: {
        const bool layer = call.id == api::wglCreateLayerContext;
        const std::uint32_t dc = call.Handle("hDc");
        const std::uint32_t recorded = call.Handle("result");
        if (recorded == 0) break;  // it failed when it was made
        surfaces_.EnsurePixelFormat(dc);
        HDC real = surfaces_.DeviceContext(dc);
        HGLRC made = nullptr;
        if (layer) {
            auto create = gl_.Get<HGLRC(__stdcall*)(HDC, int)>("wglCreateLayerContext");
            if (create && real) made = create(real, call.Int("level"));
        } else {
            auto create = gl_.Get<HGLRC(__stdcall*)(HDC)>("wglCreateContext");
            if (create && real) made = create(real);
        }
        if (!made) {
            NotReplayed(call.name, "the system refused to make the context");
            return true;
        }
        contexts_[recorded] = {made, recorded, dc};
        break;
    }
    case api::wglCreateContextAttribsARB: {
        const std::uint32_t dc = call.Handle("hDC");
        const std::uint32_t share = call.Handle("hShareContext");
        const std::uint32_t attributeBytes = static_cast<std::uint32_t>(call.Field("attribBytes"));
        const std::uint32_t recorded = call.Handle("result");
        const std::uint32_t fixed = call.FixedSize();
        if (recorded == 0) break;
        surfaces_.EnsurePixelFormat(dc);
        HDC real = surfaces_.DeviceContext(dc);
        std::vector<int> attributes;
        if (attributeBytes >= 4 && call.SizeAfter(fixed) >= attributeBytes) {
            attributes.resize(attributeBytes / 4);
            std::memcpy(attributes.data(), call.After(fixed), attributes.size() * 4);
            attributes.back() = 0;
        }
        const auto shared = contexts_.find(share);
        HGLRC shareReal = shared != contexts_.end() ? shared->second.real : nullptr;
        HGLRC made = real ? CreateContextWithAttributes(real, shareReal, attributes.empty() ? nullptr : attributes.data())
                          : nullptr;
        if (!made) {
            NotReplayed(call.name, "the system refused to make the context");
            return true;
        }
        contexts_[recorded] = {made, shared != contexts_.end() ? shared->second.group : recorded, dc};
        break;
    }
    case api::wglMakeCurrent:
    case api::wglMakeContextCurrentARB: {
        const bool arb = call.id == api::wglMakeContextCurrentARB;
        const std::uint32_t dc = call.Handle(arb ? "hDrawDC" : "hDc");
        const std::uint32_t context = call.Handle(arb ? "hglrc" : "newContext");
        BeforeMakeCurrent(dc, context);
        if (call.Field("result") == 0) break;  // failed then, changed nothing
        threads_[thread_] = {dc, context};
        MakeCurrent(dc, context);
        if (const auto made = contexts_.find(context); made != contexts_.end()) {
            // What it drew was drawn into the surface it had before.
            if (made->second.surface != dc) made->second.drawn = false;
            made->second.surface = dc;
        }
        break;
    }
    case api::wglDeleteContext: {
        const std::uint32_t context = call.Handle("oldContext");
        const auto found = contexts_.find(context);
        if (found == contexts_.end() || call.Field("result") == 0) break;
        KeepFinalImage(context);
        if (current_.context == context) MakeCurrent(0, 0);
        auto deleteContext = gl_.Get<BOOL(__stdcall*)(HGLRC)>("wglDeleteContext");
        if (deleteContext) deleteContext(found->second.real);
        contexts_.erase(found);
        arrays_.ForgetContext(context);
        for (auto& [thread, binding] : threads_)
            if (binding.context == context) binding = {};
        break;
    }
    case api::wglShareLists:
    case api::wglCopyContext: {
        const bool share = call.id == api::wglShareLists;
        const auto first = contexts_.find(call.Handle(share ? "hrcSrvShare" : "hglrcSrc"));
        const auto second = contexts_.find(call.Handle(share ? "hrcSrvSource" : "hglrcDst"));
        if (first == contexts_.end() || second == contexts_.end()) break;
        if (share) {
            auto shareLists = gl_.Get<BOOL(__stdcall*)(HGLRC, HGLRC)>("wglShareLists");
            if (call.Field("result") && shareLists && shareLists(first->second.real, second->second.real))
                second->second.group = first->second.group;
        } else {
            auto copy = gl_.Get<BOOL(__stdcall*)(HGLRC, HGLRC, UINT)>("wglCopyContext");
            if (copy) copy(first->second.real, second->second.real, static_cast<UINT>(call.Field("mask")));
        }
        break;
    }
    case api::wglSetPixelFormat: {
        const std::uint32_t descriptor = call.At("ppfd.nSize");
        if (call.size < call.FixedSize() || descriptor + kDescriptorBytes > call.size || call.Field("result") == 0) break;
        PIXELFORMATDESCRIPTOR wanted{};
        std::memcpy(&wanted, call.payload + descriptor, kDescriptorBytes);
        if (!surfaces_.SetPixelFormat(call.Handle("hdc"), call.Int("iPixelFormat"), wanted))
            NotReplayed(call.name, "no pixel format of the system has the recorded buffers");
        break;
    }
    case api::wglChoosePixelFormat:
    case api::wglChoosePixelFormatARB:
    case api::wglDescribePixelFormat:
    case api::wglGetProcAddress:
        ++tally_.queries;  // answers questions; the format is taken from the set call
        return true;
    case api::wglUseFontBitmapsA:
    case api::wglUseFontBitmapsW:
    case api::wglUseFontOutlinesA:
    case api::wglUseFontOutlinesW: {
        // The glyphs of the font the device context had, into the replay's lists of the same names.
        const std::uint32_t dc = call.Handle("hDC");
        const bool outlines = call.id == api::wglUseFontOutlinesA || call.id == api::wglUseFontOutlinesW;
        if (call.Field("result") == 0) break;  // failed then
        HDC real = surfaces_.DeviceContext(dc);
        if (!real || !surfaces_.SelectFont(dc)) {
            NotReplayed(call.name, "the capture does not describe the device context's font");
            return true;
        }
        const char* name = call.id == api::wglUseFontBitmapsA    ? "wglUseFontBitmapsA"
                           : call.id == api::wglUseFontBitmapsW  ? "wglUseFontBitmapsW"
                           : call.id == api::wglUseFontOutlinesA ? "wglUseFontOutlinesA"
                                                                 : "wglUseFontOutlinesW";
        void* entry = gl_.Find(name);
        const std::uint32_t base = names_.Map(ObjectKind::DisplayList, static_cast<std::uint32_t>(call.Field("listBase")));
        const auto first = static_cast<DWORD>(call.Field("first")), count = static_cast<DWORD>(call.Field("count"));
        bool made = false;
        if (entry && outlines) {
            float deviation = 0, extrusion = 0;
            std::memcpy(&deviation, call.payload + call.At("deviation"), 4);
            std::memcpy(&extrusion, call.payload + call.At("extrusion"), 4);
            made = reinterpret_cast<BOOL(__stdcall*)(HDC, DWORD, DWORD, DWORD, FLOAT, FLOAT, int, GLYPHMETRICSFLOAT*)>(
                       entry)(real, first, count, base, deviation, extrusion, call.Int("format"),
                              // The metrics go to the application; the replay only needs room for them.
                              call.Field("lpgmf") && count <= kOutputBytes / sizeof(GLYPHMETRICSFLOAT)
                                  ? static_cast<GLYPHMETRICSFLOAT*>(OutputBuffer())
                                  : nullptr);
        } else if (entry) {
            made = reinterpret_cast<BOOL(__stdcall*)(HDC, DWORD, DWORD, DWORD)>(entry)(real, first, count, base);
        }
        if (!made) {
            NotReplayed(call.name, "the system could not make the font's lists");
            return true;
        }
        break;
    }
    case api::wglSwapIntervalEXT: {
        auto swapInterval = gl_.Get<BOOL(__stdcall*)(int)>("wglSwapIntervalEXT");
        if (swapInterval && current_.context) swapInterval(call.Int("interval"));
        break;
    }
    case api::wglSwapBuffers:
    case api::wglSwapLayerBuffers:
        step = EndFrame(call.Handle("hdc"));
        break;
    case api::wglSwapMultipleBuffers: {
        // n, the list's address, the result, then n entries of device context and flags.
        const auto n = static_cast<std::uint32_t>(call.Field("n"));
        step = EndFrame(n > 0 ? call.U32(call.FixedSize()) : current_.dc);
        break;
    }
    default:
        return false;
    }
    Issued();
    return true;
}

Replayer::Step Replayer::EndFrame(std::uint32_t dc, bool present) {
    const std::uint64_t frame = tracker_.frame();
    tally_.lastFrame = frame;
    if (frame >= settings_.firstFrame) {
        if (!settings_.imagePrefix.empty()) SaveImage(dc, frame);
        HDC real = surfaces_.DeviceContext(dc);
        if (real && present) SwapBuffers(real);
        ++tally_.framesPresented;
        rangeEnd_ = Ticks();
    }
    for (auto& [handle, context] : contexts_)
        if (context.surface == dc) context.drawn = false;
    finalImages_.Drop(dc);
    return frame >= settings_.lastFrame ? Step::Done : Step::Continue;
}

void Replayer::SaveImage(std::uint32_t dc, std::uint64_t frame) {
    const FramePixels pixels = ReadSurface(dc);
    if (!pixels) return;
    PNG32ImageInterface image(pixels.width, pixels.height);
    image.Attach(pixels.top, pixels.stride);
    if (image.save(settings_.imagePrefix.c_str(), static_cast<int>(frame), -1) == 0) ++tally_.imagesSaved;
}

void Replayer::BeforeMakeCurrent(std::uint32_t dc, std::uint32_t context) {
    const auto binding = threads_.find(thread_);
    if (binding == threads_.end() || binding->second.context == 0) return;
    const auto old = contexts_.find(binding->second.context);
    // The same context on the same surface again changes nothing.
    if (old == contexts_.end() || (binding->second.context == context && old->second.surface == dc)) return;
    KeepFinalImage(binding->second.context);
}

void Replayer::KeepFinalImage(std::uint32_t context) {
    if (settings_.imagePrefix.empty()) return;
    const auto found = contexts_.find(context);
    if (found == contexts_.end() || !found->second.drawn || !found->second.surface) return;
    const std::uint32_t surface = found->second.surface;
    const FramePixels pixels = ReadSurface(surface);
    if (pixels) finalImages_.Keep(surface, pixels);
}

std::uint64_t Replayer::SaveFinalImages() {
    if (settings_.imagePrefix.empty()) return 0;
    // The replay's contexts live on: what is still drawn and unpresented is read now.
    for (const auto& [handle, context] : contexts_)
        if (context.drawn) KeepFinalImage(handle);
    const std::uint32_t saved = finalImages_.Save(settings_.imagePrefix.c_str());
    tally_.finalImagesSaved += saved;
    return saved;
}

FramePixels Replayer::ReadSurface(std::uint32_t dc) {
    ReadBackFunctions gl;
    gl.getIntegerv = getIntegerv_;
    gl.readBuffer = gl_.Get<decltype(gl.readBuffer)>("glReadBuffer");
    gl.readPixels = gl_.Get<decltype(gl.readPixels)>("glReadPixels");
    gl.pixelStorei = gl_.Get<decltype(gl.pixelStorei)>("glPixelStorei");
    gl.makeCurrent = gl_.Get<decltype(gl.makeCurrent)>("wglMakeCurrent");
    gl.getCurrentDC = gl_.Get<decltype(gl.getCurrentDC)>("wglGetCurrentDC");
    gl.getCurrentContext = gl_.Get<decltype(gl.getCurrentContext)>("wglGetCurrentContext");
    gl.getPixelFormat = gl_.Get<decltype(gl.getPixelFormat)>("wglGetPixelFormat");
    gl.describePixelFormat = gl_.Get<decltype(gl.describePixelFormat)>("wglDescribePixelFormat");
    if (!gl.complete()) return {};
    // The context that reads: the current one when it draws to this window, else one made for it.
    HDC real = surfaces_.DeviceContext(dc);
    HGLRC reader = nullptr;
    std::uint32_t readerHandle = current_.context;
    if (current_.dc != dc || !current_.context) {
        readerHandle = 0;
        for (const auto& [handle, context] : contexts_)
            if (context.dc == dc || context.surface == dc) {
                reader = context.real;
                readerHandle = handle;
                break;
            }
        if (!reader) return {};
    }
    // Buffer and framebuffer bindings are saved and restored only where the context has them.
    const char* version = nullptr;
    auto getString = gl_.Get<const char*(__stdcall*)(unsigned)>("glGetString");
    if (getString && readerHandle == current_.context) version = getString(0x1F02);  // GL_VERSION
    const int major = version ? version[0] - '0' : 0;
    const int minor = version && version[1] == '.' ? version[2] - '0' : 0;
    if (major > 2 || (major == 2 && minor >= 1)) gl.bindBuffer = gl_.Get<decltype(gl.bindBuffer)>("glBindBuffer");
    if (major >= 3) gl.bindFramebuffer = gl_.Get<decltype(gl.bindFramebuffer)>("glBindFramebuffer");
    if (major > 3 || (major == 3 && minor >= 2)) {
        int profile = 0;
        getIntegerv_(0x9126, &profile);  // GL_CONTEXT_PROFILE_MASK: core contexts have no lists
        gl.displayLists = (profile & 1) == 0;
    }
    return frameReader_.Read(gl, reader ? real : nullptr, reader);
}

}  // namespace kestrel::replay
