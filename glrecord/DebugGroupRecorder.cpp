// glPopDebugGroup: in one application ("Zionx64.exe") the real call must run without the record
// stream's lock, so the hooks of the outermost call run around the record alone there.
#include <windows.h>
#include <tlhelp32.h>

#include <cstring>

#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"

namespace kestrel {

namespace {

bool ExecutableIs(const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    const DWORD self = GetCurrentProcessId();
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == self) {
            found = std::strcmp(entry.szExeFile, name) == 0;
            break;
        }
    }
    CloseHandle(snapshot);
    return found;
}

}  // namespace

void GLKestrel::glPopDebugGroup() {
    using PopFn = void(__stdcall*)();
    static const bool popOutsideLock = ExecutableIs("Zionx64.exe");  // read once, at the first call
    if (!popOutsideLock) {
        EnterCall();
        reinterpret_cast<PopFn>(RealEntry(fn::glPopDebugGroup, api::glPopDebugGroup))();
        if (ShouldRecordOrLeave()) return;
        BeginRecord(api::glPopDebugGroup, 0);
        LeaveCall();
        return;
    }
    // The gate's two halves without the outermost call's hooks around the real call.
    EnsureStarted();
    const DWORD thread = GetCurrentThreadId();
    if (running_) threadDepths_.enter(thread);
    reinterpret_cast<PopFn>(RealEntry(fn::glPopDebugGroup, api::glPopDebugGroup))();
    if (ShouldRecordOrLeave()) return;
    OnOutermostEnter();
    BeginRecord(api::glPopDebugGroup, 0);
    OnOutermostLeave();
    threadDepths_.leave(thread);
}

}  // namespace kestrel
