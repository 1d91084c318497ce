// A test's own view of a named shared block, opened by name: it sees what another process would see.
#pragma once
#include <windows.h>
#include <string>

template <typename T>
class SharedView {
public:
    SharedView() = default;
    explicit SharedView(const std::string& name, DWORD size = sizeof(T)) { open(name, size); }
    ~SharedView() { close(); }
    SharedView(const SharedView&) = delete;
    SharedView& operator=(const SharedView&) = delete;

    bool open(const std::string& name, DWORD size = sizeof(T)) {
        close();
        mapping_ = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
        if (mapping_) view_ = static_cast<T*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, size));
        return view_ != nullptr;
    }
    void close() {
        if (view_) UnmapViewOfFile(view_);
        if (mapping_) CloseHandle(mapping_);
        view_ = nullptr;
        mapping_ = nullptr;
    }

    explicit operator bool() const { return view_ != nullptr; }
    T* get() const { return view_; }
    T* operator->() const { return view_; }

private:
    HANDLE mapping_ = nullptr;
    T* view_ = nullptr;
};
