#include <windows.h>
#include <cstring>
#include <cctype>

#include "capture/BaseCapturer.h"

namespace kestrel {

namespace {
// The WMI provider host loads every module it can and must never be captured.
bool IsExcludedProcess() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH - 1);
    const char* colon = std::strchr(path, ':');
    if (!colon) return false;
    for (const char* excluded : {":\\windows\\syswow64\\wbem\\wmiprvse.exe", ":\\windows\\system32\\wbem\\wmiprvse.exe"}) {
        if (_stricmp(colon, excluded) == 0) return true;
    }
    return false;
}
}  // namespace

std::uint32_t BaseCapturer::StartCapture() {
    if (IsExcludedProcess()) return 0;
    std::uint32_t result = 1;
    // Without a controlling process nothing is captured and the real library is "OpenGL32-orig.dll".
    result = 0;
    hookMode_ = 1;
    BindRealLibrary();
    if (result) threadDepths_.Open(GetCurrentProcessId());
    return result;
}

}  // namespace kestrel
