#include "controller/capture/FrameImageFiles.h"

namespace kestrel {

namespace {
bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string WithSlash(const std::string& folder) {
    return !folder.empty() && (folder.back() == '\\' || folder.back() == '/') ? folder : folder + "\\";
}
}  // namespace

bool CreateFolderPath(const std::string& folder) {
    if (folder.empty()) return false;
    if (IsFolder(folder)) return true;
    const std::size_t slash = folder.find_last_of("\\/");
    // The parent first; a drive root ("C:\") always exists and needs no creation.
    if (slash != std::string::npos && slash > 0) {
        const std::string parent = folder.substr(0, slash);
        if (!(parent.size() == 2 && parent[1] == ':') && !CreateFolderPath(parent)) return false;
    }
    if (slash == folder.size() - 1) return IsFolder(folder.substr(0, slash));
    return CreateDirectoryA(folder.c_str(), nullptr) || IsFolder(folder);
}

FILETIME ImageTimeFloor() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time{};
    time.LowPart = now.dwLowDateTime;
    time.HighPart = now.dwHighDateTime;
    time.QuadPart -= 2 * 10000000ull;  // 100 ns units
    now.dwLowDateTime = time.LowPart;
    now.dwHighDateTime = time.HighPart;
    return now;
}

std::uint32_t CountImageFiles(const std::string& folder, const std::string& prefix, const FILETIME& since) {
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((WithSlash(folder) + prefix + "*.png").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    std::uint32_t count = 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && CompareFileTime(&found.ftLastWriteTime, &since) >= 0)
            ++count;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

}  // namespace kestrel
