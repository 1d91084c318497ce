#pragma once
#include <windows.h>

#include <atomic>
#include <string>

namespace kestrel::testing {

// A shared-object name no other test process uses: tests of one wineserver share one namespace.
inline std::string UniqueName(const char* tag) {
    static std::atomic<unsigned> counter{0};
    return std::string("Local\\KestrelTest_") + tag + "_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(counter++);
}

}  // namespace kestrel::testing
