#include "controller/capture/RecorderPlacement.h"

#include <windows.h>

namespace kestrel {

namespace {
constexpr const char* kTarget = "opengl32.dll";
constexpr const char* kSaved = "opengl32.dll.kestrel-saved";   // the folder's own opengl32.dll, if any
constexpr const char* kMarker = "opengl32.dll.kestrel-placed";  // present while ours is in place

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The placed DLL may still be mapped by a process that is just ending.
void DeleteWithRetry(const std::string& path) {
    for (int i = 0; i < 50 && Exists(path) && !DeleteFileA(path.c_str()); ++i) Sleep(100);
}

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

std::string OverrideKey(const std::string& exeName) {
    return "Software\\Wine\\AppDefaults\\" + exeName + "\\DllOverrides";
}
}  // namespace

void RecorderPlacement::Repair(const std::string& folder) {
    if (!Exists(folder + kMarker)) return;
    DeleteWithRetry(folder + kTarget);
    if (Exists(folder + kSaved)) MoveFileA((folder + kSaved).c_str(), (folder + kTarget).c_str());
    DeleteFileA((folder + kMarker).c_str());
}

bool RecorderPlacement::Place(const std::string& application, const std::string& recorder, std::string& error) {
    const std::size_t slash = application.find_last_of("\\/");
    folder_ = slash == std::string::npos ? std::string(".\\") : application.substr(0, slash + 1);
    exeName_ = slash == std::string::npos ? application : application.substr(slash + 1);
    if (!Exists(recorder)) {
        error = "recorder not found: " + recorder;
        return false;
    }
    Repair(folder_);
    const std::string target = folder_ + kTarget, saved = folder_ + kSaved, marker = folder_ + kMarker;
    HANDLE markerFile = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (markerFile == INVALID_HANDLE_VALUE) {
        error = "cannot write into the application's folder " + folder_;
        return false;
    }
    CloseHandle(markerFile);
    if (Exists(target) && !MoveFileA(target.c_str(), saved.c_str())) {
        DeleteFileA(marker.c_str());
        error = "cannot set the application's own " + target + " aside";
        return false;
    }
    placed_ = true;
    if (!CopyFileA(recorder.c_str(), target.c_str(), FALSE)) {
        Restore();
        error = "cannot copy the recorder to " + target;
        return false;
    }
    if (UnderWine()) SetWineOverride(exeName_);
    return true;
}

void RecorderPlacement::Restore() {
    RestoreWineOverride();
    if (!placed_) return;
    placed_ = false;
    Repair(folder_);
}

// Wine ignores a DLL beside the program unless told to prefer it; the per-program key limits that
// to programs of this name.
void RecorderPlacement::SetWineOverride(const std::string& exeName) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, OverrideKey(exeName).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    char previous[256] = {};
    DWORD size = sizeof previous - 1, type = 0;
    hadOverride_ = RegQueryValueExA(key, "opengl32", nullptr, &type, reinterpret_cast<BYTE*>(previous), &size) == ERROR_SUCCESS;
    previousOverride_ = hadOverride_ ? previous : "";
    static const char kValue[] = "native,builtin";
    overrideSet_ = RegSetValueExA(key, "opengl32", 0, REG_SZ, reinterpret_cast<const BYTE*>(kValue), sizeof kValue) == ERROR_SUCCESS;
    RegCloseKey(key);
}

void RecorderPlacement::RestoreWineOverride() {
    if (!overrideSet_) return;
    overrideSet_ = false;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, OverrideKey(exeName_).c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    if (hadOverride_) {
        RegSetValueExA(key, "opengl32", 0, REG_SZ, reinterpret_cast<const BYTE*>(previousOverride_.c_str()),
                       static_cast<DWORD>(previousOverride_.size() + 1));
    } else {
        RegDeleteValueA(key, "opengl32");
    }
    RegCloseKey(key);
}

}  // namespace kestrel
