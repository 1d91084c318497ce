#include "controller/capture/ProcessStopper.h"

namespace kestrel {

namespace {
struct CloseRequest {
    DWORD processId;
    std::uint32_t asked;
};

BOOL CALLBACK AskWindow(HWND window, LPARAM context) {
    auto* request = reinterpret_cast<CloseRequest*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    // Its own top-level windows, shown or not (a program may draw to a window it never showed).
    if (owner == request->processId && GetWindow(window, GW_OWNER) == nullptr) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        ++request->asked;
    }
    return TRUE;
}
}  // namespace

std::uint32_t ProcessStopper::AskToClose(DWORD processId) {
    CloseRequest request{processId, 0};
    EnumWindows(AskWindow, reinterpret_cast<LPARAM>(&request));
    return request.asked;
}

void ProcessStopper::Begin(HANDLE process, DWORD processId, DWORD graceMs) {
    if (begun_) return;
    begun_ = true;
    process_ = process;
    // A program without a window has nothing to be asked: it is ended at once.
    deadline_ = GetTickCount() + (AskToClose(processId) > 0 ? graceMs : 0);
}

void ProcessStopper::Poll() {
    if (!begun_ || terminated_ || !process_) return;
    if (WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) return;
    if (static_cast<LONG>(GetTickCount() - deadline_) < 0) return;
    TerminateProcess(process_, 1);
    terminated_ = true;
}

}  // namespace kestrel
