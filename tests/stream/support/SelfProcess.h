#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace kestrel::testing {

// This executable started again with other arguments, to play the other process of a shared-memory
// pair. The child shares the console, so its messages land in the test's output.
class SelfProcess {
public:
    explicit SelfProcess(const std::vector<std::string>& args);
    ~SelfProcess();
    SelfProcess(const SelfProcess&) = delete;
    SelfProcess& operator=(const SelfProcess&) = delete;

    bool Started() const { return process_ != nullptr; }
    bool HasExited() const;
    // Exit code, or -1 if it has not ended within timeoutMs (it is then terminated).
    int Wait(DWORD timeoutMs);

private:
    HANDLE process_ = nullptr;
};

}  // namespace kestrel::testing
