// Starts a program, collects what it prints and waits for it with a time limit.
#pragma once
#include <windows.h>
#include <string>

// How long a test waits for a program before it counts it as hung. Only a guard against a hang, never
// a measure: sized for 32-bit Wine under emulation (programs run 10 to 50 times slower) on a 2-core
// machine whose other core is busy. The ctest time limits lie above it, so that a test still reports
// and ends what it started.
constexpr DWORD kHangMs = 600000;

struct ChildResult {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
    std::string output;  // stdout and stderr together
};

// Runs a command line; `environment` (if not empty) holds NAME=VALUE entries separated by '\n' that
// are set for the child only. A child still running after `timeoutMs` is terminated.
ChildResult RunChild(const std::string& commandLine, DWORD timeoutMs = kHangMs, const std::string& environment = "");

// Starts a child that the caller waits for itself; no output is collected.
HANDLE StartChild(const std::string& commandLine, const std::string& environment = "");

// The folder of this test program, with a trailing backslash.
std::string ProgramFolder();
