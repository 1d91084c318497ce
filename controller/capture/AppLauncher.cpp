#include "controller/capture/AppLauncher.h"
#include "controller/capture/ProgramImage.h"

#include <cstdio>

#include "interposer/ThreadDepthTable.h"

namespace kestrel {

namespace {
// As the C runtime splits a command line: backslashes are literal except before a quote, where each
// pair stands for one backslash; so those before a quote, and before the closing quote, are doubled.
std::string Quote(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos) return word;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
        } else {
            if (c == '"') quoted.append(backslashes + 1, '\\');
            backslashes = 0;
        }
        quoted += c;
    }
    quoted.append(backslashes, '\\');
    return quoted + "\"";
}

// Kill-on-close: the job's processes end when its last handle closes, which is ours. Breakaway stays
// allowed, so a program that starts a process with CREATE_BREAKAWAY_FROM_JOB is not refused; any
// other child stays in the job.
HANDLE CreateTreeJob() {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}
}  // namespace

AppLauncher::~AppLauncher() {
    // Ends whatever the application started that still runs; the application itself has ended by now
    // unless kestrel is leaving early.
    if (job_) CloseHandle(job_);
    if (process_) CloseHandle(process_);
    if (depthBlock_) CloseHandle(depthBlock_);
}

bool AppLauncher::CheckApplication(const std::string& path, std::string& error) {
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = "application not found: " + path;
        return false;
    }
    const ProgramImage image = ReadProgramImage(path);
    if (!image.valid || image.isDll) {
        error = path + " is not a Windows program";
        return false;
    }
    if (!image.RecorderWidth()) {
        error = path + " is a program for " + image.MachineName() + ", neither 32-bit (i686) nor 64-bit (x86-64)";
        return false;
    }
    return true;
}

bool AppLauncher::Launch(const std::string& application, const std::vector<std::string>& arguments, std::string& error) {
    std::string commandLine = Quote(application);
    for (const std::string& argument : arguments) {
        commandLine += ' ';
        commandLine += Quote(argument);
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &si, &pi)) {
        char text[64];
        std::snprintf(text, sizeof text, " (error %lu)", GetLastError());
        error = "cannot start ";
        error += application;
        error += text;
        return false;
    }
    process_ = pi.hProcess;
    processId_ = pi.dwProcessId;
    // Assigned while suspended, so its first child is already in the job. Without nested jobs (before
    // Windows 8, with kestrel itself in a job) the assignment fails and the application runs as before.
    job_ = CreateTreeJob();
    if (job_ && !AssignProcessToJobObject(job_, process_)) {
        CloseHandle(job_);
        job_ = nullptr;
    }
    // The depth block must exist before the application's first OpenGL call.
    depthBlock_ = ThreadDepthTable::CreateBlock(processId_);
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    return true;
}

DWORD AppLauncher::ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

}  // namespace kestrel
