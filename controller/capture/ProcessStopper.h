// Ends an application the way a user would first: its windows are asked to close, and only a
// process still running after a grace period is ended outright.
#pragma once
#include <windows.h>
#include <cstdint>

namespace kestrel {

class ProcessStopper {
public:
    static constexpr DWORD kGraceMs = 3000;

    // Posts WM_CLOSE to every top-level window of the process that no other window owns; returns how many it asked.
    static std::uint32_t AskToClose(DWORD processId);

    // Starts the stop: the windows are asked now, the process ended once Poll finds the grace gone.
    void Begin(HANDLE process, DWORD processId, DWORD graceMs = kGraceMs);
    // Call while waiting: ends the process when it has outlived the grace period.
    void Poll();
    bool begun() const { return begun_; }
    // Whether the process had to be ended outright.
    bool terminated() const { return terminated_; }

private:
    HANDLE process_ = nullptr;
    DWORD deadline_ = 0;
    bool begun_ = false;
    bool terminated_ = false;
};

}  // namespace kestrel
