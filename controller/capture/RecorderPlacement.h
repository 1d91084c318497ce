// Puts the recorder beside the application as its opengl32.dll for one run, and puts back whatever
// was there. A run that was interrupted before it could restore is repaired by the next one.
#pragma once
#include <string>

namespace kestrel {

class RecorderPlacement {
public:
    RecorderPlacement() = default;
    ~RecorderPlacement() { Restore(); }
    RecorderPlacement(const RecorderPlacement&) = delete;
    RecorderPlacement& operator=(const RecorderPlacement&) = delete;

    // Returns false with a one-line message when the recorder cannot be placed; the folder is then
    // left as it was.
    bool Place(const std::string& application, const std::string& recorder, std::string& error);
    void Restore();

    // Undoes what an interrupted earlier run left in the application's folder.
    static void Repair(const std::string& folder);

private:
    void SetWineOverride(const std::string& exeName);
    void RestoreWineOverride();

    std::string folder_;
    std::string exeName_;
    bool placed_ = false;
    bool overrideSet_ = false;
    bool hadOverride_ = false;
    std::string previousOverride_;
};

}  // namespace kestrel
