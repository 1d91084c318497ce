#include "bench/support/InstructionCount.h"

#include <windows.h>

namespace bench {

namespace {

constexpr DWORD kTrapFlag = 0x100;

// The instruction pointer of a thread context, for either width.
#if defined(__x86_64__)
DWORD64& InstructionPointer(CONTEXT* context) { return context->Rip; }
#else
DWORD& InstructionPointer(CONTEXT* context) { return context->Eip; }
#endif

struct Stepping {
    volatile bool on = false;
    std::uintptr_t moduleStart = 0, moduleEnd = 0;
    PathCount count;
    std::vector<std::uintptr_t>* addresses = nullptr;  // reserved beforehand: the handler never allocates
};
Stepping g_stepping;

// The instruction at `at`, about to run: is it interlocked, or a time-stamp read?
void Classify(const std::uint8_t* at, PathCount& count) {
    bool lockPrefix = false;
    for (int i = 0; i < 4; ++i, ++at) {  // prefixes
        const std::uint8_t b = *at;
        if (b == 0xF0) {
            lockPrefix = true;
        } else if (!(b == 0x66 || b == 0x67 || b == 0xF2 || b == 0xF3 || b == 0x2E || b == 0x3E || b == 0x26 ||
                     b == 0x36 || b == 0x64 || b == 0x65)) {
            break;
        }
    }
    const bool xchgWithMemory = (at[0] == 0x86 || at[0] == 0x87) && (at[1] >> 6) != 3;
    if (lockPrefix || xchgWithMemory) ++count.locked;
    if (at[0] == 0x0F && at[1] == 0x31) ++count.timeStamps;
}

LONG CALLBACK OnStep(EXCEPTION_POINTERS* e) {
    const DWORD code = e->ExceptionRecord->ExceptionCode;
    if (code != EXCEPTION_SINGLE_STEP && code != EXCEPTION_BREAKPOINT) return EXCEPTION_CONTINUE_SEARCH;
    CONTEXT* context = e->ContextRecord;
    // Under user-mode emulation the step arrives as a breakpoint, whose address Wine moves back over
    // the int3 it supposes: the instruction that follows is one byte further on.
    if (code == EXCEPTION_BREAKPOINT) InstructionPointer(context) += 1;
    if (!g_stepping.on) {
        context->EFlags &= ~kTrapFlag;
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    PathCount& count = g_stepping.count;
    ++count.instructions;
    const std::uintptr_t at = InstructionPointer(context);
    if (at >= g_stepping.moduleStart && at < g_stepping.moduleEnd) ++count.inModule;
    Classify(reinterpret_cast<const std::uint8_t*>(at), count);
    if (g_stepping.addresses && g_stepping.addresses->size() < g_stepping.addresses->capacity())
        g_stepping.addresses->push_back(at);
    context->EFlags |= kTrapFlag;
    return EXCEPTION_CONTINUE_EXECUTION;
}

__attribute__((noinline)) void StepThrough(void (*body)(void*), void* argument) {
    g_stepping.on = true;
#if defined(__x86_64__)
    __asm__ volatile("pushfq; orq %0, (%%rsp); popfq" : : "i"(kTrapFlag) : "memory", "cc");
#else
    __asm__ volatile("pushfl; orl %0, (%%esp); popfl" : : "i"(kTrapFlag) : "memory", "cc");
#endif
    body(argument);
    g_stepping.on = false;
}

}  // namespace

bool CountInstructions(void (*body)(void*), void* argument, const void* module, PathCount& count,
                       std::vector<std::uintptr_t>* addresses) {
    MEMORY_BASIC_INFORMATION info{};
    if (module == nullptr || VirtualQuery(module, &info, sizeof info) == 0) return false;
    const auto* base = static_cast<const std::uint8_t*>(info.AllocationBase);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    g_stepping.moduleStart = reinterpret_cast<std::uintptr_t>(base);
    g_stepping.moduleEnd = g_stepping.moduleStart + headers->OptionalHeader.SizeOfImage;
    g_stepping.count = PathCount{};
    if (addresses) {
        addresses->clear();
        addresses->reserve(kMaxAddresses);
    }
    g_stepping.addresses = addresses;
    void* handler = AddVectoredExceptionHandler(1, OnStep);
    if (handler == nullptr) return false;
    StepThrough(body, argument);
    RemoveVectoredExceptionHandler(handler);
    g_stepping.addresses = nullptr;
    count = g_stepping.count;
    return count.instructions > 0;
}

}  // namespace bench
