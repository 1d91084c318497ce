#include "tests/support/ChildProcess.h"

#include <cstring>
#include <vector>

namespace {
// A copy of this process's environment with the given NAME=VALUE lines added or replaced.
std::vector<char> BuildEnvironment(const std::string& extra) {
    std::vector<std::string> entries;
    char* block = GetEnvironmentStringsA();
    for (const char* p = block; *p; p += std::strlen(p) + 1) entries.emplace_back(p);
    FreeEnvironmentStringsA(block);
    size_t start = 0;
    while (start < extra.size()) {
        size_t end = extra.find('\n', start);
        if (end == std::string::npos) end = extra.size();
        std::string entry = extra.substr(start, end - start);
        std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(entries, [&](const std::string& e) { return _strnicmp(e.c_str(), name.c_str(), name.size()) == 0; });
        if (entry.size() > name.size()) entries.push_back(entry);  // "NAME=" alone removes the variable
        start = end + 1;
    }
    std::vector<char> result;
    for (const std::string& e : entries) result.insert(result.end(), e.c_str(), e.c_str() + e.size() + 1);
    result.push_back('\0');
    return result;
}

HANDLE Start(const std::string& commandLine, const std::string& environment, HANDLE output) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = output;
        si.hStdError = output;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION pi{};
    std::vector<char> env = BuildEnvironment(environment);
    std::string cmd = commandLine;
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, output != nullptr, 0,
                        environment.empty() ? nullptr : env.data(), nullptr, &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Takes what is in the pipe now, without waiting for more.
void TakeAvailable(HANDLE readEnd, std::string& output) {
    DWORD available = 0;
    char buffer[4096];
    while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        DWORD got = 0;
        if (!ReadFile(readEnd, buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr) || got == 0)
            return;
        output.append(buffer, got);
    }
}
}  // namespace

HANDLE StartChild(const std::string& commandLine, const std::string& environment) {
    return Start(commandLine, environment, nullptr);
}

// The pipe is polled until the child ends, not read to its end: a program the child starts may hold
// the write end open for longer than the child lives, and a read to the end would wait for it too.
ChildResult RunChild(const std::string& commandLine, DWORD timeoutMs, const std::string& environment) {
    ChildResult result;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE process = Start(commandLine, environment, writeEnd);
    CloseHandle(writeEnd);
    if (!process) {
        CloseHandle(readEnd);
        return result;
    }
    result.started = true;
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(process, 5) == WAIT_TIMEOUT) {
        TakeAvailable(readEnd, result.output);
        if (GetTickCount() - start >= timeoutMs) {
            result.timedOut = true;
            TerminateProcess(process, 255);
            WaitForSingleObject(process, 10000);
            break;
        }
    }
    TakeAvailable(readEnd, result.output);  // what it wrote just before it ended
    GetExitCodeProcess(process, &result.exitCode);
    CloseHandle(readEnd);
    CloseHandle(process);
    return result;
}

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}
