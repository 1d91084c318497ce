#include "tests/stream/support/SelfProcess.h"

namespace kestrel::testing {

SelfProcess::SelfProcess(const std::vector<std::string>& args) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string commandLine = std::string("\"") + path + "\"";
    for (const std::string& arg : args) commandLine += " \"" + arg + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (CreateProcessA(path, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
    }
}

SelfProcess::~SelfProcess() {
    if (process_ == nullptr) return;
    if (!HasExited()) TerminateProcess(process_, 99);
    CloseHandle(process_);
}

bool SelfProcess::HasExited() const {
    return process_ == nullptr || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
}

int SelfProcess::Wait(DWORD timeoutMs) {
    if (process_ == nullptr) return -1;
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, INFINITE);
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
}

}  // namespace kestrel::testing
