// Names of shared objects that no other test (or parallel test program) uses.
#pragma once
#include <windows.h>
#include <cstdio>
#include <string>

inline std::string UniqueName(const char* what) {
    static volatile LONG counter = 0;
    char name[128];
    std::snprintf(name, sizeof name, "Local\\KestrelTest_%lu_%ld_%s", static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<long>(InterlockedIncrement(&counter)), what);
    return name;
}
