// Starts a program, collects what it prints and waits for it with a time limit.
#pragma once
#include <windows.h>
#include <string>

struct ChildResult {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
    std::string output;  // stdout and stderr together
};

// Runs a command line; `environment` (if not empty) holds NAME=VALUE entries separated by '\n' that
// are set for the child only. A child still running after `timeoutMs` is terminated.
ChildResult RunChild(const std::string& commandLine, DWORD timeoutMs = 60000, const std::string& environment = "");

// Starts a child that the caller waits for itself; no output is collected.
HANDLE StartChild(const std::string& commandLine, const std::string& environment = "");

// The folder of this test program, with a trailing backslash.
std::string ProgramFolder();
