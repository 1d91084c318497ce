#include "controller/replay/GLEntries.h"

#include <cstdint>

namespace kestrel::replay {

namespace {
// The system's own library by its full path: never a recorder placed beside a program.
HMODULE LoadSystemOpenGL() {
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 16) return nullptr;
    return LoadLibraryA((std::string(folder) + "\\opengl32.dll").c_str());
}
}  // namespace

GLEntries::GLEntries() : library_(LoadSystemOpenGL()) {
    if (library_)
        getProcAddress_ = reinterpret_cast<decltype(getProcAddress_)>(
            reinterpret_cast<void*>(GetProcAddress(library_, "wglGetProcAddress")));
}

void* GLEntries::Find(const char* name) {
    const auto known = found_.find(name);
    if (known != found_.end()) return known->second;
    if (!library_) return nullptr;
    void* entry = reinterpret_cast<void*>(GetProcAddress(library_, name));
    if (!entry && getProcAddress_) {
        entry = reinterpret_cast<void*>(getProcAddress_(name));
        // Some drivers answer small integers for names they do not have.
        if (reinterpret_cast<std::uintptr_t>(entry) < 4 || reinterpret_cast<std::intptr_t>(entry) == -1) entry = nullptr;
    }
    if (entry) found_.emplace(name, entry);
    return entry;
}

}  // namespace kestrel::replay
