// wglMakeCurrent: recorded by the base rules; a successful activation maps the thread to its context,
// and the first one resolves every extension entry point.
#include <cstdint>

#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"

namespace kestrel {

namespace {
std::uint32_t HandleValue(const void* handle) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle));
}
}  // namespace

kgl::BOOL GLKestrel::wglMakeCurrent(kgl::HDC hDc, kgl::HGLRC newContext) {
    EnterCall();
    const kgl::BOOL result = reinterpret_cast<kgl::BOOL(__stdcall*)(kgl::HDC, kgl::HGLRC)>(
        RealEntry(fn::wglMakeCurrent, api::wglMakeCurrent))(hDc, newContext);
    if (ShouldRecordOrLeave()) return result;
    const std::uint32_t payload[3] = {HandleValue(hDc), HandleValue(newContext), static_cast<std::uint32_t>(result)};
    BeginRecord(api::wglMakeCurrent, sizeof payload);
    WriteData(sizeof payload, payload);
    if (result) {
        if (newContext) ResolveAllExtensions();  // does its work at the first activation only
        threadContexts_[GetCurrentThreadId()] = HandleValue(newContext);
    }
    LeaveCall();
    return result;
}

}  // namespace kestrel
