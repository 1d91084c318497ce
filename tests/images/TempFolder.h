// A folder of its own under the temporary folder for one test, removed with what is in it.
#pragma once
#include <windows.h>
#include <string>

class TempFolder {
public:
    explicit TempFolder(const std::string& name) {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + "kestrel-" + std::to_string(GetCurrentProcessId()) + "-" + name + "\\";
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAA found{};
        const HANDLE search = FindFirstFileA((path_ + "*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((path_ + found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(path_.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // With a trailing backslash.
    const std::string& path() const { return path_; }
    bool Exists(const std::string& file) const {
        return GetFileAttributesA((path_ + file).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

private:
    std::string path_;
};
