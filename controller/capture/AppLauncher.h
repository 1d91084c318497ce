// Starts the application suspended, gives it its thread-depth block, then lets it run. The application
// and every process it starts run in a job that ends with the launcher: when kestrel ends, killed or
// crashed included, nothing of the tree it launched outlives it.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

namespace kestrel {

class AppLauncher {
public:
    AppLauncher() = default;
    ~AppLauncher();
    AppLauncher(const AppLauncher&) = delete;
    AppLauncher& operator=(const AppLauncher&) = delete;

    // Checks that the file exists and is a Windows program of either width; a one-line message otherwise.
    static bool CheckApplication(const std::string& path, std::string& error);

    bool Launch(const std::string& application, const std::vector<std::string>& arguments, std::string& error);
    HANDLE process() const { return process_; }
    DWORD processId() const { return processId_; }
    bool Finished(DWORD waitMs) const { return WaitForSingleObject(process_, waitMs) == WAIT_OBJECT_0; }
    DWORD ExitCode() const;

private:
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    HANDLE depthBlock_ = nullptr;
    HANDLE job_ = nullptr;
};

}  // namespace kestrel
