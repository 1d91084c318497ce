#include "controller/capture/FrameImageFiles.h"

#include <cstdlib>

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

ImageFiles TakeStockOfImages(const std::string& folder, const std::string& prefix, const FILETIME& since,
                             std::uint32_t framesHeld) {
    ImageFiles files;
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((WithSlash(folder) + prefix + "*.png").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || CompareFileTime(&found.ftLastWriteTime, &since) < 0)
            continue;
        // What follows the prefix: the frame number, or "final" with an ordinal after the first.
        const std::string rest = std::string(found.cFileName).substr(prefix.size());
        const std::string stem = rest.size() > 4 ? rest.substr(0, rest.size() - 4) : std::string();
        if (stem.rfind("final", 0) == 0) {
            ++files.finals;
        } else if (!stem.empty() && stem.find_first_not_of("0123456789") == std::string::npos) {
            if (std::strtoul(stem.c_str(), nullptr, 10) <= framesHeld)
                ++files.frames;
            else if (DeleteFileA((WithSlash(folder) + found.cFileName).c_str()))
                ++files.removed;
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
}

}  // namespace kestrel
