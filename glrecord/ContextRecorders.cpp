// The wgl recorders of pixel formats, contexts and device contexts, and glViewport: every device
// context they name gets its drawable record brought up to date before their own record.
#include <windows.h>

#include <bit>
#include <cstring>
#include <type_traits>

#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "glrecord/RealGL.h"
#include "glrecord/RecorderSupport.h"
#include "stream/PixelFormatPayload.h"
#include "stream/PointerWidth.h"

namespace kestrel {

namespace {

// A pointer or handle at the process's pointer width, any other value as its 32 bits.
template <class T>
auto Word(T value) {
    if constexpr (std::is_pointer_v<T>)
        return HandleValue(value);
    else
        return std::bit_cast<std::uint32_t>(value);
}

// The common shape: real call, gate, drawable of the device context, then the arguments and the
// result as 32-bit values, handles and pointers at the pointer width.
template <class R, class... A>
R DeviceContextCall(GLKestrel& k, unsigned index, std::uint32_t apiId, kgl::HDC dc, A... args) {
    k.EnterCall();
    const R result = reinterpret_cast<R(__stdcall*)(kgl::HDC, A...)>(k.RealEntry(index, apiId))(dc, args...);
    if (k.ShouldRecordOrLeave()) return result;
    k.TrackDrawable(dc);
    const Packed payload(HandleValue(dc), Word(args)..., Word(result));
    k.BeginRecord(apiId, payload.kSize);
    k.WriteData(payload.kSize, payload.bytes);
    k.LeaveCall();
    return result;
}

template <class T, std::size_t N>
void Put(std::uint8_t (&to)[N], std::size_t& at, const T& value) {
    std::memcpy(to + at, &value, sizeof value);
    at += sizeof value;
}

}  // namespace

int GLKestrel::wglChoosePixelFormat(kgl::HDC hdc, const kgl::PIXELFORMATDESCRIPTOR* ppfd) {
    EnterCall();
    const int result = reinterpret_cast<int(__stdcall*)(kgl::HDC, const kgl::PIXELFORMATDESCRIPTOR*)>(
        RealEntry(fn::wglChoosePixelFormat, api::wglChoosePixelFormat))(hdc, ppfd);
    if (ShouldRecordOrLeave()) return result;
    TrackDrawable(hdc);
    std::uint8_t payload[48 + kPointerExtraBytes] = {};
    std::size_t at = 0;
    Put(payload, at, HandleValue(hdc));
    if (ppfd) std::memcpy(payload + at, ppfd, 40);
    at += 40;
    Put(payload, at, result);
    BeginRecord(api::wglChoosePixelFormat, sizeof payload);
    WriteData(sizeof payload, payload);
    LeaveCall();
    return result;
}

kgl::BOOL GLKestrel::wglSetPixelFormat(kgl::HDC hdc, int iPixelFormat, const kgl::PIXELFORMATDESCRIPTOR* ppfd) {
    EnterCall();
    const kgl::BOOL result = reinterpret_cast<kgl::BOOL(__stdcall*)(kgl::HDC, int, const kgl::PIXELFORMATDESCRIPTOR*)>(
        RealEntry(fn::wglSetPixelFormat, api::wglSetPixelFormat))(hdc, iPixelFormat, ppfd);
    if (ShouldRecordOrLeave()) return result;
    TrackDrawable(hdc);
    // The descriptor handed in may describe what was asked for rather than the format set (a format
    // chosen by attributes): the buffers the program draws with are the set format's own.
    auto describe =
        realgl::Entry<int(__stdcall*)(kgl::HDC, int, kgl::UINT, kgl::PIXELFORMATDESCRIPTOR*)>(fn::wglDescribePixelFormat);
    PixelFormatPayload set{};
    if (result && describe &&
        describe(hdc, iPixelFormat, sizeof set.descriptor, reinterpret_cast<kgl::PIXELFORMATDESCRIPTOR*>(&set.descriptor))) {
        set.deviceContext = HandleValue(hdc);
        set.format = iPixelFormat;
        BeginRecord(PixelFormatPayload::kId, sizeof set);
        WriteData(sizeof set, &set);
    }
    std::uint8_t payload[52 + kPointerExtraBytes] = {};
    std::size_t at = 0;
    Put(payload, at, HandleValue(hdc));
    Put(payload, at, iPixelFormat);
    if (ppfd) std::memcpy(payload + at, ppfd, 40);
    at += 40;
    Put(payload, at, result);
    BeginRecord(api::wglSetPixelFormat, sizeof payload);
    WriteData(sizeof payload, payload);
    LeaveCall();
    return result;
}

kgl::BOOL GLKestrel::wglChoosePixelFormatARB(kgl::HDC hdc, const int* piAttribIList, const kgl::FLOAT* pfAttribFList,
                                             kgl::UINT nMaxFormats, int* piFormats, kgl::UINT* nNumFormats) {
    return DeviceContextCall<kgl::BOOL>(*this, fn::wglChoosePixelFormatARB, api::wglChoosePixelFormatARB, hdc,
                                        piAttribIList, pfAttribFList, nMaxFormats, piFormats, nNumFormats);
}

kgl::HPBUFFERARB GLKestrel::wglCreatePbufferARB(kgl::HDC hDC, int iPixelFormat, int iWidth, int iHeight,
                                                const int* piAttribList) {
    return DeviceContextCall<kgl::HPBUFFERARB>(*this, fn::wglCreatePbufferARB, api::wglCreatePbufferARB, hDC,
                                               iPixelFormat, iWidth, iHeight, piAttribList);
}

int GLKestrel::wglDescribePixelFormat(kgl::HDC hdc, int iPixelFormat, kgl::UINT nBytes, kgl::LPPIXELFORMATDESCRIPTOR ppfd) {
    return DeviceContextCall<int>(*this, fn::wglDescribePixelFormat, api::wglDescribePixelFormat, hdc, iPixelFormat,
                                  nBytes, ppfd);
}

kgl::BOOL GLKestrel::wglDescribeLayerPlane(kgl::HDC hDc, int pixelFormat, int layerPlane, kgl::UINT nBytes,
                                           const kgl::LAYERPLANEDESCRIPTOR* plpd) {
    return DeviceContextCall<kgl::BOOL>(*this, fn::wglDescribeLayerPlane, api::wglDescribeLayerPlane, hDc, pixelFormat,
                                        layerPlane, nBytes, plpd);
}

int GLKestrel::wglGetPixelFormat(kgl::HDC hdc) {
    return DeviceContextCall<int>(*this, fn::wglGetPixelFormat, api::wglGetPixelFormat, hdc);
}

int GLKestrel::wglGetLayerPaletteEntries(kgl::HDC hdc, int iLayerPlane, int iStart, int cEntries,
                                         const kgl::COLORREF* pcr) {
    return DeviceContextCall<int>(*this, fn::wglGetLayerPaletteEntries, api::wglGetLayerPaletteEntries, hdc,
                                  iLayerPlane, iStart, cEntries, pcr);
}

int GLKestrel::wglSetLayerPaletteEntries(kgl::HDC hdc, int iLayerPlane, int iStart, int cEntries,
                                         const kgl::COLORREF* pcr) {
    return DeviceContextCall<int>(*this, fn::wglSetLayerPaletteEntries, api::wglSetLayerPaletteEntries, hdc,
                                  iLayerPlane, iStart, cEntries, pcr);
}

kgl::BOOL GLKestrel::wglRealizeLayerPalette(kgl::HDC hdc, int iLayerPlane, kgl::BOOL bRealize) {
    return DeviceContextCall<kgl::BOOL>(*this, fn::wglRealizeLayerPalette, api::wglRealizeLayerPalette, hdc,
                                        iLayerPlane, bRealize);
}

kgl::BOOL GLKestrel::wglUseFontBitmapsA(kgl::HDC hDC, kgl::DWORD first, kgl::DWORD count, kgl::DWORD listBase) {
    return DeviceContextCall<kgl::BOOL>(*this, fn::wglUseFontBitmapsA, api::wglUseFontBitmapsA, hDC, first, count,
                                        listBase);
}

kgl::BOOL GLKestrel::wglUseFontBitmapsW(kgl::HDC hDC, kgl::DWORD first, kgl::DWORD count, kgl::DWORD listBase) {
    return DeviceContextCall<kgl::BOOL>(*this, fn::wglUseFontBitmapsW, api::wglUseFontBitmapsW, hDC, first, count,
                                        listBase);
}

kgl::BOOL GLKestrel::wglUseFontOutlinesA(kgl::HDC hDC, kgl::DWORD first, kgl::DWORD count, kgl::DWORD listBase,
                                         kgl::FLOAT deviation, kgl::FLOAT extrusion, int format,
                                         kgl::LPGLYPHMETRICSFLOAT lpgmf) {
    return DeviceContextCall<kgl::BOOL>(*this, fn::wglUseFontOutlinesA, api::wglUseFontOutlinesA, hDC, first, count,
                                        listBase, deviation, extrusion, format, lpgmf);
}

kgl::BOOL GLKestrel::wglUseFontOutlinesW(kgl::HDC hDC, kgl::DWORD first, kgl::DWORD count, kgl::DWORD listBase,
                                         kgl::FLOAT deviation, kgl::FLOAT extrusion, int format,
                                         kgl::LPGLYPHMETRICSFLOAT lpgmf) {
    return DeviceContextCall<kgl::BOOL>(*this, fn::wglUseFontOutlinesW, api::wglUseFontOutlinesW, hDC, first, count,
                                        listBase, deviation, extrusion, format, lpgmf);
}

kgl::HGLRC GLKestrel::wglCreateContext(kgl::HDC hDc) {
    EnterCall();
    const kgl::HGLRC result = reinterpret_cast<kgl::HGLRC(__stdcall*)(kgl::HDC)>(
        RealEntry(fn::wglCreateContext, api::wglCreateContext))(hDc);
    if (ShouldRecordOrLeave()) return result;
    TrackDrawable(hDc);
    if (hDc && !WindowFromDC(hDc)) {
        // A windowless surface's pixel format is shown as if the application had set it.
        std::uint8_t format[52 + kPointerExtraBytes] = {};
        std::size_t at = 0;
        const int index = GetPixelFormat(hDc);
        PIXELFORMATDESCRIPTOR descriptor{};
        if (index > 0) DescribePixelFormat(hDc, index, sizeof descriptor, &descriptor);
        Put(format, at, HandleValue(hDc));
        Put(format, at, index);
        Put(format, at, descriptor);
        Put(format, at, std::uint32_t{1});
        BeginRecord(api::wglSetPixelFormat, sizeof format);
        WriteData(sizeof format, format);
        ++callsInFrame_;
    }
    const Geometry geometry = ProbeGeometry(hDc);
    if (result) CreateState(result);
    std::uint8_t payload[28 + 2 * kPointerExtraBytes];
    std::size_t at = 0;
    Put(payload, at, HandleValue(hDc));
    Put(payload, at, HandleValue(result));
    Put(payload, at, geometry.rect);
    Put(payload, at, geometry.kind);
    BeginRecord(api::wglCreateContext, sizeof payload);
    WriteData(sizeof payload, payload);
    LeaveCall();
    return result;
}

kgl::HGLRC GLKestrel::wglCreateLayerContext(kgl::HDC hDc, int level) {
    EnterCall();
    const kgl::HGLRC result = reinterpret_cast<kgl::HGLRC(__stdcall*)(kgl::HDC, int)>(
        RealEntry(fn::wglCreateLayerContext, api::wglCreateLayerContext))(hDc, level);
    if (ShouldRecordOrLeave()) return result;
    TrackDrawable(hDc);
    const Geometry geometry = ProbeGeometry(hDc);
    if (result) CreateState(result);
    std::uint8_t payload[32 + 2 * kPointerExtraBytes];
    std::size_t at = 0;
    Put(payload, at, HandleValue(hDc));
    Put(payload, at, level);
    Put(payload, at, HandleValue(result));
    Put(payload, at, geometry.rect);
    Put(payload, at, geometry.kind);
    BeginRecord(api::wglCreateLayerContext, sizeof payload);
    WriteData(sizeof payload, payload);
    LeaveCall();
    return result;
}

kgl::HGLRC GLKestrel::wglCreateContextAttribsARB(kgl::HDC hDC, kgl::HGLRC hShareContext, const int* attribList) {
    EnterCall();
    const kgl::HGLRC result = reinterpret_cast<kgl::HGLRC(__stdcall*)(kgl::HDC, kgl::HGLRC, const int*)>(
        RealEntry(fn::wglCreateContextAttribsARB, api::wglCreateContextAttribsARB))(hDC, hShareContext, attribList);
    if (ShouldRecordOrLeave()) return result;
    TrackDrawable(hDC);
    const Geometry geometry = ProbeGeometry(hDC);
    if (result) CreateState(result);
    std::uint32_t listBytes = 0;
    if (attribList) {
        std::uint32_t pairs = 0;
        while (attribList[2 * pairs] != 0) ++pairs;
        listBytes = 8 * pairs + 4;
    }
    std::uint8_t payload[40 + 4 * kPointerExtraBytes];
    std::size_t at = 0;
    Put(payload, at, HandleValue(hDC));
    Put(payload, at, HandleValue(hShareContext));
    Put(payload, at, HandleValue(attribList));
    Put(payload, at, listBytes);
    Put(payload, at, HandleValue(result));
    Put(payload, at, geometry.rect);
    Put(payload, at, geometry.kind);
    BeginRecord(api::wglCreateContextAttribsARB, sizeof payload + listBytes);
    WriteData(sizeof payload, payload);
    WriteData(listBytes, attribList);
    LeaveCall();
    return result;
}

kgl::BOOL GLKestrel::wglMakeCurrent(kgl::HDC hDc, kgl::HGLRC newContext) {
    EnterCall();
    BeforeMakeCurrent(hDc, newContext);
    const kgl::BOOL result = reinterpret_cast<kgl::BOOL(__stdcall*)(kgl::HDC, kgl::HGLRC)>(
        RealEntry(fn::wglMakeCurrent, api::wglMakeCurrent))(hDc, newContext);
    if (ShouldRecordOrLeave()) return result;
    TrackDrawable(hDc);
    const Packed payload(HandleValue(hDc), HandleValue(newContext), static_cast<std::uint32_t>(result));
    BeginRecord(api::wglMakeCurrent, payload.kSize);
    WriteData(payload.kSize, payload.bytes);
    if (result) {
        if (newContext) {
            ContextState* state = nullptr;
            const auto found = contextStates_.find(HandleValue(newContext));
            // A context whose creation was not recorded gets its state now, so that its draws are
            // still captured.
            state = found != contextStates_.end() ? found->second.get() : &CreateState(newContext);
            if (!state->initialised()) {
                ResolveAllExtensions();  // does its work at the first activation in the process only
                InitialiseState(*state);
            }
            // What it drew was drawn into the surface it had before.
            if (state->deviceContext != HandleValue(hDc)) state->drawnSinceFrameEnd = false;
            state->deviceContext = HandleValue(hDc);
        }
        threadContexts_[CurrentThreadId()] = HandleValue(newContext);
    }
    LeaveCall();
    return result;
}

kgl::BOOL GLKestrel::wglDeleteContext(kgl::HGLRC oldContext) {
    EnterCall();
    KeepFinalImage(HandleValue(oldContext));
    const kgl::BOOL result = reinterpret_cast<kgl::BOOL(__stdcall*)(kgl::HGLRC)>(
        RealEntry(fn::wglDeleteContext, api::wglDeleteContext))(oldContext);
    if (ShouldRecordOrLeave()) return result;
    const Packed payload(HandleValue(oldContext), static_cast<std::uint32_t>(result));
    BeginRecord(api::wglDeleteContext, payload.kSize);
    WriteData(payload.kSize, payload.bytes);
    // A context the system would not delete lives on, and so does its state.
    if (result) DropState(oldContext);
    LeaveCall();
    return result;
}

kgl::HDC GLKestrel::wglGetPbufferDCARB(kgl::HPBUFFERARB hPbuffer) {
    EnterCall();
    const kgl::HDC result = reinterpret_cast<kgl::HDC(__stdcall*)(kgl::HPBUFFERARB)>(
        RealEntry(fn::wglGetPbufferDCARB, api::wglGetPbufferDCARB))(hPbuffer);
    if (ShouldRecord()) {
        const Packed payload(HandleValue(hPbuffer), HandleValue(result));
        BeginRecord(api::wglGetPbufferDCARB, payload.kSize);
        WriteData(payload.kSize, payload.bytes);
    }
    // Registered whether or not the call was recorded, but before leaving: the map changes only
    // while this thread holds the record stream's lock.
    if (running()) RegisterUntrackedDC(result);
    LeaveCall();
    return result;
}

// Nothing to forward to when the system library has no such function: the call does nothing and
// is not recorded.
kgl::BOOL GLKestrel::wglSwapIntervalEXT(int interval) {
    EnsureStarted();
    // The system library never exports it: like every extension it comes from the real lookup, which
    // may not have run yet.
    if (!g_realEntries[fn::wglSwapIntervalEXT]) LookupInterceptor("wglSwapIntervalEXT");
    if (!g_realEntries[fn::wglSwapIntervalEXT]) return 0;
    EnterCall();
    const kgl::BOOL result = CallReal<kgl::BOOL>(*this, fn::wglSwapIntervalEXT, api::wglSwapIntervalEXT, interval);
    if (ShouldRecordOrLeave()) return result;
    RecordValues(*this, api::wglSwapIntervalEXT, interval, result);
    LeaveCall();
    return result;
}

void GLKestrel::glViewport(kgl::GLint x, kgl::GLint y, kgl::GLsizei width, kgl::GLsizei height) {
    EnterCall();
    reinterpret_cast<void(__stdcall*)(kgl::GLint, kgl::GLint, kgl::GLsizei, kgl::GLsizei)>(
        RealEntry(fn::glViewport, api::glViewport))(x, y, width, height);
    if (ShouldRecordOrLeave()) return;
    if (const ContextState* state = CurrentState())
        TrackDrawable(reinterpret_cast<kgl::HDC>(static_cast<std::uintptr_t>(state->deviceContext)));
    const std::int32_t payload[4] = {x, y, width, height};
    BeginRecord(api::glViewport, sizeof payload);
    WriteData(sizeof payload, payload);
    LeaveCall();
}

}  // namespace kestrel
