#include "controller/report/FrameImageSet.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <vector>

#include "controller/report/PageJson.h"

namespace kestrel {

namespace {
struct Group {
    std::map<std::uint64_t, std::string> files;
    std::map<std::uint64_t, std::uint64_t> sizes;
    std::uint64_t bytes = 0;
    std::uint64_t newest = 0;  // write time, 100 ns units
};

std::uint64_t Ticks(const FILETIME& time) { return std::uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime; }

std::string FullPath(const std::string& path) {
    char full[MAX_PATH * 2] = {};
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return n > 0 && n < sizeof full ? std::string(full) : path;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    std::string name = path.substr(path.find_last_of("\\/") + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// "PREFIX_NNNN.png": the prefix and the frame, or false for another name.
bool SplitImageName(const std::string& name, std::string& prefix, std::uint64_t& frame) {
    if (name.size() < 9) return false;
    std::string extension = name.substr(name.size() - 4);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t underscore = name.rfind('_');
    if (extension != ".png" || underscore == std::string::npos || underscore == 0) return false;
    const std::string digits = name.substr(underscore + 1, name.size() - 4 - underscore - 1);
    if (digits.size() < 4 || digits.size() > 9) return false;
    frame = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        frame = frame * 10 + static_cast<std::uint64_t>(c - '0');
    }
    prefix = name.substr(0, underscore);
    return frame > 0;
}

std::map<std::string, Group> ImageGroups(const std::string& folder) {
    std::map<std::string, Group> groups;
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((folder + "\\*_*.png").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return groups;
    do {
        std::string prefix;
        std::uint64_t frame = 0;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !SplitImageName(found.cFileName, prefix, frame)) continue;
        Group& group = groups[prefix];
        group.files[frame] = folder + "\\" + found.cFileName;
        const std::uint64_t size = std::uint64_t{found.nFileSizeHigh} << 32 | found.nFileSizeLow;
        group.sizes[frame] = size;
        group.bytes += size;
        if (Ticks(found.ftLastWriteTime) > group.newest) group.newest = Ticks(found.ftLastWriteTime);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return groups;
}

bool ReadWhole(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    bytes.clear();
    std::uint8_t block[65536];
    std::size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + n);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

void Base64(TextOutput& out, const std::vector<std::uint8_t>& bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::size_t size = bytes.size();
    for (std::size_t i = 0; i < size; i += 3) {
        const std::uint32_t n = static_cast<std::uint32_t>(bytes[i]) << 16 |
                                (i + 1 < size ? static_cast<std::uint32_t>(bytes[i + 1]) << 8 : 0) |
                                (i + 2 < size ? bytes[i + 2] : 0);
        out << kDigits[n >> 18 & 63] << kDigits[n >> 12 & 63];
        out << (i + 1 < size ? kDigits[n >> 6 & 63] : '=') << (i + 2 < size ? kDigits[n & 63] : '=');
    }
}

std::vector<std::string> Parts(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

std::string UrlPart(const std::string& part) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string url;
    for (char ch : part) {
        const auto c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == ':') {
            url += ch;
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

// The file's URL as the page at `pagePath` reaches it: relative on the same drive, else absolute.
std::string UrlFrom(const std::string& pagePath, const std::string& file) {
    const std::vector<std::string> from = Parts(FolderOf(FullPath(pagePath)));
    const std::vector<std::string> to = Parts(FullPath(file));
    std::size_t common = 0;
    while (common < from.size() && common + 1 < to.size() && SameName(from[common], to[common])) ++common;
    std::string url;
    if (common == 0) {
        url = "file:///";
    } else {
        for (std::size_t i = common; i < from.size(); ++i) url += "../";
    }
    for (std::size_t i = common; i < to.size(); ++i) {
        if (i > common) url += '/';
        url += UrlPart(to[i]);
    }
    return url;
}
}  // namespace

void FrameImageSet::Find(const std::string& capturePath, const std::string& folder) {
    folder_ = FullPath(folder.empty() ? FolderOf(capturePath) : folder);
    if (!folder_.empty() && (folder_.back() == '\\' || folder_.back() == '/')) folder_.pop_back();
    const std::map<std::string, Group> groups = ImageGroups(folder_);
    const std::string captureName = BaseName(capturePath);
    const Group* chosen = nullptr;
    if (const auto named = groups.find(captureName); named != groups.end()) {
        chosen = &named->second;
        note_ = "named after the capture (" + captureName + "_NNNN.png)";
    } else {
        WIN32_FILE_ATTRIBUTE_DATA capture{};
        if (GetFileAttributesExA(capturePath.c_str(), GetFileExInfoStandard, &capture)) {
            const std::uint64_t end = Ticks(capture.ftLastWriteTime), second = 10000000;
            std::uint64_t best = UINT64_MAX;
            for (const auto& [prefix, group] : groups) {
                if (group.newest + kWrittenBeforeSeconds * second < end || group.newest > end + kWrittenAfterSeconds * second) continue;
                const std::uint64_t distance = group.newest > end ? group.newest - end : end - group.newest;
                if (distance < best) {
                    best = distance;
                    chosen = &group;
                    note_ = "the recorder's " + prefix + "_NNNN.png, written while the capture ran";
                }
            }
        }
        if (!chosen && !folder.empty() && groups.size() == 1) {
            chosen = &groups.begin()->second;
            note_ = "the only images in the folder given (" + groups.begin()->first + "_NNNN.png)";
        }
    }
    if (chosen) {
        files_ = chosen->files;
        sizes_ = chosen->sizes;
        totalBytes_ = chosen->bytes;
        return;
    }
    if (groups.empty()) {
        note_ = "none: no NAME_NNNN.png in " + folder_;
        return;
    }
    note_ = "none: the images in " + folder_ + " (";
    std::size_t listed = 0;
    for (const auto& [prefix, group] : groups) {
        if (listed++ == 4) {
            note_ += ", ...";
            break;
        }
        note_ += (listed > 1 ? ", " : "") + prefix + "_NNNN.png";
    }
    note_ += ") are neither named after the capture nor were they written while it ran; --images DIR names their folder";
}

void FrameImageSet::KeepUpTo(std::uint64_t last) {
    for (auto at = files_.upper_bound(last); at != files_.end(); at = files_.erase(at)) {
        totalBytes_ -= sizes_[at->first];
        sizes_.erase(at->first);
    }
}

void FrameImageSet::WriteJson(TextOutput& out, const std::string& pagePath) const {
    const bool embedded = totalBytes_ <= kEmbeddedBytes;
    out << "{\"folder\":";
    PageJsonString(out, folder_);
    out << ",\"note\":";
    PageJsonString(out, note_);
    out << ",\"embedded\":" << (embedded ? "true" : "false") << ",\"frames\":[";
    bool first = true;
    for (const auto& entry : files_) {
        out << (first ? "" : ",");
        out.Unsigned(entry.first);
        first = false;
    }
    out << "],\"urls\":[";
    first = true;
    std::vector<std::uint8_t> bytes;
    for (const auto& entry : files_) {
        out << (first ? "\"" : ",\"");
        first = false;
        if (embedded && ReadWhole(entry.second, bytes)) {
            out << "data:image/png;base64,";
            Base64(out, bytes);
        } else {
            out << UrlFrom(pagePath, entry.second);  // percent-encoded: nothing to escape
        }
        out << '"';
    }
    out << "]}";
}

}  // namespace kestrel
