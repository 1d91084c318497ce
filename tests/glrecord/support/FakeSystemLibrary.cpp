#include "tests/glrecord/support/FakeSystemLibrary.h"

#include <windows.h>

namespace {
std::string OverrideKey(const std::string& program) {
    return "Software\\Wine\\AppDefaults\\" + program + "\\DllOverrides";
}
}  // namespace

FakeSystemLibrary::FakeSystemLibrary(const std::string& fakePath, const std::vector<std::string>& programs) {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    orig_ = std::string(system) + "\\OpenGL32-orig.dll";
    // A run that was killed left the real library aside and a fake in its place: undo that first.
    if (GetFileAttributesA(AsideName(0).c_str()) != INVALID_FILE_ATTRIBUTES) {
        for (int n = 0; n < 8 && DeleteFileA(orig_.c_str()); ++n) {
        }
        MoveFileA(AsideName(0).c_str(), orig_.c_str());
        for (int n = 1; n < 8; ++n) DeleteFileA(AsideName(n).c_str());
    }
    // Names differ in case only on the prefix's file system, so more than one file may answer.
    for (int n = 0; GetFileAttributesA(orig_.c_str()) != INVALID_FILE_ATTRIBUTES && n < 8; ++n) {
        const std::string aside = AsideName(n);
        DeleteFileA(aside.c_str());
        if (!MoveFileA(orig_.c_str(), aside.c_str())) {
            error_ = "cannot move " + orig_ + " aside";
            return;
        }
        aside_.push_back(aside);
    }
    if (!CopyFileA(fakePath.c_str(), orig_.c_str(), FALSE)) {
        error_ = "cannot copy " + fakePath + " to " + orig_;
        return;
    }
    for (const std::string& program : programs) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, OverrideKey(program).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr) != ERROR_SUCCESS) {
            error_ = "cannot set the library override of " + program;
            return;
        }
        static const char kNative[] = "native";
        RegSetValueExA(key, "opengl32-orig", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNative), sizeof kNative);
        RegCloseKey(key);
        programs_.push_back(program);
    }
}

std::string FakeSystemLibrary::AsideName(int n) const { return orig_ + ".kestrel-real" + std::to_string(n); }

FakeSystemLibrary::~FakeSystemLibrary() {
    for (const std::string& program : programs_) {
        RegDeleteKeyA(HKEY_CURRENT_USER, OverrideKey(program).c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, ("Software\\Wine\\AppDefaults\\" + program).c_str());
    }
    DeleteFileA(orig_.c_str());
    // All of them were the real library: one goes back under the name.
    for (std::size_t i = 0; i < aside_.size(); ++i) {
        if (i == 0)
            MoveFileA(aside_[i].c_str(), orig_.c_str());
        else
            DeleteFileA(aside_[i].c_str());
    }
}
