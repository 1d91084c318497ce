// The system OpenGL's entry points, by name: the library's own exports first, then the current
// context's extension lookup. A name that cannot be had yet is asked again later, once another
// context may be current.
#pragma once
#include <windows.h>

#include <string>
#include <unordered_map>

namespace kestrel::replay {

class GLEntries {
public:
    GLEntries();
    bool loaded() const { return library_ != nullptr; }
    void* Find(const char* name);
    template <class F>
    F Get(const char* name) {
        return reinterpret_cast<F>(Find(name));
    }

private:
    HMODULE library_ = nullptr;
    PROC(__stdcall* getProcAddress_)(LPCSTR) = nullptr;
    std::unordered_map<std::string, void*> found_;
};

}  // namespace kestrel::replay
