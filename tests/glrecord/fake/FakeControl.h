// The fake system library that the recorder tests install as "OpenGL32-orig.dll": every entry point
// logs the argument bytes it receives and returns a known value; its control functions let a test
// read the log and program results, output writes and hooks.
#pragma once
#include <windows.h>
#include <cstdint>
#include <cstring>

namespace fakegl {

constexpr std::uint32_t kMaxArgBytes = 128;

struct LogEntry {
    std::uint32_t index;     // function index of the API table (slot), or a pass-through slot
    std::uint32_t argBytes;
    std::uint8_t args[kMaxArgBytes];
};

// What every stub returns unless a test programs another value: patterns of its index. The string
// queries (glGetString, glGetStringi) return the address of a real string instead.
constexpr std::uint64_t DefaultResult(std::uint32_t index) {
    return (std::uint64_t{0x5A000000u | index} << 32) | (0xA5000000u | index);
}
inline bool ReturnsFakeString(const char* name) {
    return std::strcmp(name, "glGetString") == 0 || std::strcmp(name, "glGetStringi") == 0;
}
constexpr double DefaultFloatResult(std::uint32_t index) { return 0.5 + index; }

using TakeLogFn = std::uint32_t(__cdecl*)(LogEntry* out, std::uint32_t capacity);
using SetResultFn = void(__cdecl*)(std::uint32_t index, std::uint64_t value, double floatValue);
using SetOutputFn = void(__cdecl*)(std::uint32_t index, std::uint32_t argOffset, const void* bytes, std::uint32_t size);
using SetHookFn = void(__cdecl*)(std::uint32_t index, void(__cdecl* hook)());
using StubAddressFn = void*(__cdecl*)(std::uint32_t index);

// The control functions of the fake in this process.
struct Control {
    TakeLogFn takeLog = nullptr;            // entries since the last take (all of them are cleared)
    SetResultFn setResult = nullptr;        // what a function returns from now on
    SetOutputFn setOutput = nullptr;        // bytes written through a pointer argument at each call
    SetHookFn setHook = nullptr;            // run inside the function's stub (null: none)
    StubAddressFn stubAddress = nullptr;    // the fake's own entry point of a function

    bool Bind(HMODULE fake) {
        Find(fake, "FakeTakeLog", takeLog);
        Find(fake, "FakeSetResult", setResult);
        Find(fake, "FakeSetOutput", setOutput);
        Find(fake, "FakeSetHook", setHook);
        Find(fake, "FakeStubAddress", stubAddress);
        return takeLog && setResult && setOutput && setHook && stubAddress;
    }

private:
    template <class Fn>
    static void Find(HMODULE module, const char* name, Fn& fn) {
        fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
};

}  // namespace fakegl
