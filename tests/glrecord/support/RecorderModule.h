// The recorder as a program under capture uses it in these tests: loaded by path, its exports called
// directly (a GL 1.1 or wgl function by its own name, any function by its interceptor's name), with
// the fake system library that it bound reachable for programming and for its log.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>

#include "tests/glrecord/fake/FakeControl.h"

template <class Signature>
struct Stdcall;
template <class R, class... A>
struct Stdcall<R(A...)> {
    using Pointer = R(__stdcall*)(A...);
    static constexpr std::uint32_t kArgBytes = (0u + ... + static_cast<std::uint32_t>((sizeof(A) + 3) / 4 * 4));
};

class RecorderModule {
public:
    // Loads the recorder and lets it bind the real library through a pass-through export, which
    // records nothing. Ends the program with a message when that fails.
    void Load(const char* path);

    void* Export(const std::string& name) const;  // ends the program when the recorder lacks it
    std::string InterceptorName(const char* glName, std::uint32_t argBytes) const;

    template <class Signature>
    typename Stdcall<Signature>::Pointer Gl(const char* name) const {
        return reinterpret_cast<typename Stdcall<Signature>::Pointer>(Export(name));
    }
    template <class Signature>
    typename Stdcall<Signature>::Pointer Ext(const char* name) const {
        return reinterpret_cast<typename Stdcall<Signature>::Pointer>(
            Export(InterceptorName(name, Stdcall<Signature>::kArgBytes)));
    }

    HMODULE handle() const { return module_; }
    HMODULE fakeModule() const { return fakeModule_; }
    fakegl::Control& fake() { return fake_; }

private:
    HMODULE module_ = nullptr;
    HMODULE fakeModule_ = nullptr;
    fakegl::Control fake_;
};
