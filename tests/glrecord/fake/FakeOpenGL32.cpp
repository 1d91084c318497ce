// The fake system library. Every export is a stub of two instructions that hands its index to one
// common routine: log the argument bytes, run the programmed hook and output write, then return
// the programmed result and pop the arguments as the stdcall function would.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/glrecord/fake/FakeControl.h"

namespace {

struct Shape {
    const char* name;
    std::uint32_t argBytes;
    char result;
};

const Shape kShapes[] = {
#define KESTREL_CALL_SHAPE(index, name, bytes, params, result, id, alias, hand) {name, bytes, result},
#define KESTREL_PASS_SHAPE(slot, name, bytes) {name, bytes, 'i'},
#include "test/CallShapes.inc"
#undef KESTREL_CALL_SHAPE
#undef KESTREL_PASS_SHAPE
};
constexpr std::uint32_t kSlots = sizeof kShapes / sizeof kShapes[0];

// Read by the common routine: the result registers, the bytes to pop, and an x87 result.
struct Return {
    std::uint32_t low, high, argBytes, floatKind;  // floatKind: 0 none, 1 float, 2 double
    double value;
};

struct Output {
    std::uint32_t argOffset;
    std::vector<std::uint8_t> bytes;
};

struct State {
    CRITICAL_SECTION lock;
    Return returns[kSlots];
    void(__cdecl* hooks[kSlots])() = {};
    std::map<std::uint32_t, Output> outputs;
    std::vector<fakegl::LogEntry> log;
    std::map<std::string, std::uint32_t> byName;

    State() {
        InitializeCriticalSection(&lock);
        for (std::uint32_t i = 0; i < kSlots; ++i) {
            const std::uint64_t value = fakegl::DefaultResult(i);
            returns[i] = {static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(value >> 32),
                          kShapes[i].argBytes, kShapes[i].result == 'f' ? 1u : kShapes[i].result == 'd' ? 2u : 0u,
                          fakegl::DefaultFloatResult(i)};
            byName[kShapes[i].name] = i;
        }
        // The string queries hand out a real string, as a driver's are: a recorder reads them.
        static const char kVersion[] = "1.1 fake";
        for (const char* name : {"glGetString", "glGetStringi"}) {
            const auto found = byName.find(name);
            if (found != byName.end()) returns[found->second].low = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(kVersion));
        }
    }
};

State& state() {
    static State s;
    return s;
}

void Log(std::uint32_t index, const std::uint8_t* args) {
    State& s = state();
    fakegl::LogEntry entry{};
    entry.index = index;
    entry.argBytes = std::min(kShapes[index].argBytes, fakegl::kMaxArgBytes);
    std::memcpy(entry.args, args, entry.argBytes);
    EnterCriticalSection(&s.lock);
    s.log.push_back(entry);
    LeaveCriticalSection(&s.lock);
}

}  // namespace

extern "C" const Return* __cdecl FakeCall(std::uint32_t index, const std::uint8_t* args) {
    State& s = state();
    Log(index, args);
    if (s.hooks[index]) s.hooks[index]();
    EnterCriticalSection(&s.lock);
    auto output = s.outputs.find(index);
    if (output != s.outputs.end()) {
        void* destination = nullptr;
        std::memcpy(&destination, args + output->second.argOffset, sizeof destination);
        if (destination) std::memcpy(destination, output->second.bytes.data(), output->second.bytes.size());
    }
    LeaveCriticalSection(&s.lock);
    return &s.returns[index];
}

// eax: the stub's index. On return: eax:edx (and st(0) for a floating result), arguments popped.
asm(".text\n"
    ".globl _fake_common\n"
    "_fake_common:\n"
    "    leal 4(%esp), %ecx\n"        // the arguments, above the return address
    "    pushl %ecx\n"
    "    pushl %eax\n"
    "    call _FakeCall\n"
    "    addl $8, %esp\n"
    "    movl %eax, %ecx\n"
    "    cmpl $0, 12(%ecx)\n"
    "    je 1f\n"
    "    fldl 16(%ecx)\n"             // x87 results are extended: the caller rounds a float itself
    "1:  popl %eax\n"                 // return address
    "    addl 8(%ecx), %esp\n"        // drop the arguments
    "    pushl %eax\n"
    "    movl 4(%ecx), %edx\n"
    "    movl 0(%ecx), %eax\n"
    "    ret\n");

#define FAKE_STUB(index)                     \
    asm(".text\n"                            \
        ".globl _fake_stub_" #index "\n"     \
        "_fake_stub_" #index ":\n"           \
        "    movl $" #index ", %eax\n"       \
        "    jmp _fake_common\n");
#define KESTREL_CALL_SHAPE(index, name, bytes, params, result, id, alias, hand) FAKE_STUB(index)
#define KESTREL_PASS_SHAPE(slot, name, bytes) FAKE_STUB(slot)
#include "test/CallShapes.inc"
#undef KESTREL_CALL_SHAPE
#undef KESTREL_PASS_SHAPE

#define KESTREL_CALL_SHAPE(index, name, bytes, params, result, id, alias, hand) extern "C" void fake_stub_##index();
#define KESTREL_PASS_SHAPE(slot, name, bytes) extern "C" void fake_stub_##slot();
#include "test/CallShapes.inc"
#undef KESTREL_CALL_SHAPE
#undef KESTREL_PASS_SHAPE

namespace {
void* const kStubs[kSlots] = {
#define KESTREL_CALL_SHAPE(index, name, bytes, params, result, id, alias, hand) reinterpret_cast<void*>(&fake_stub_##index),
#define KESTREL_PASS_SHAPE(slot, name, bytes) reinterpret_cast<void*>(&fake_stub_##slot),
#include "test/CallShapes.inc"
#undef KESTREL_CALL_SHAPE
#undef KESTREL_PASS_SHAPE
};
}  // namespace

// Answers with the fake's own stub for every name of the table, null for any other name.
extern "C" void* __stdcall FakeWglGetProcAddress(const char* name) {
    State& s = state();
    const std::uint32_t self = s.byName.at("wglGetProcAddress");
    Log(self, reinterpret_cast<const std::uint8_t*>(&name));
    if (reinterpret_cast<std::uintptr_t>(name) < 0x10000) return nullptr;
    auto found = s.byName.find(name);
    return found == s.byName.end() ? nullptr : kStubs[found->second];
}

extern "C" std::uint32_t __cdecl FakeTakeLog(fakegl::LogEntry* out, std::uint32_t capacity) {
    State& s = state();
    EnterCriticalSection(&s.lock);
    const std::uint32_t count = static_cast<std::uint32_t>(s.log.size());
    if (out) std::copy_n(s.log.begin(), std::min(count, capacity), out);
    s.log.clear();
    LeaveCriticalSection(&s.lock);
    return count;
}

extern "C" void __cdecl FakeSetResult(std::uint32_t index, std::uint64_t value, double floatValue) {
    if (index >= kSlots) return;
    Return& r = state().returns[index];
    r.low = static_cast<std::uint32_t>(value);
    r.high = static_cast<std::uint32_t>(value >> 32);
    r.value = floatValue;
}

extern "C" void __cdecl FakeSetOutput(std::uint32_t index, std::uint32_t argOffset, const void* bytes, std::uint32_t size) {
    State& s = state();
    EnterCriticalSection(&s.lock);
    if (bytes)
        s.outputs[index] = {argOffset, std::vector<std::uint8_t>(static_cast<const std::uint8_t*>(bytes),
                                                                 static_cast<const std::uint8_t*>(bytes) + size)};
    else
        s.outputs.erase(index);
    LeaveCriticalSection(&s.lock);
}

extern "C" void __cdecl FakeSetHook(std::uint32_t index, void(__cdecl* hook)()) {
    if (index < kSlots) state().hooks[index] = hook;
}

extern "C" void* __cdecl FakeStubAddress(std::uint32_t index) { return index < kSlots ? kStubs[index] : nullptr; }
