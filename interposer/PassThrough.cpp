// The metafile functions and "glDebugEntry" jump straight to the real library with the caller's own
// arguments and return address: no gate, no record. Called before the first gated call, they bind
// the real library first; a function the real library lacks returns 0.
#include <windows.h>
#include <cstdlib>

#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"

#define KESTREL_STR2(x) #x
#define KESTREL_STR(x) KESTREL_STR2(x)
#define KESTREL_FIRST_PASS_SLOT 2795
static_assert(KESTREL_FIRST_PASS_SLOT == kestrel::kSlot_glDebugEntry);
static_assert(kestrel::kSlot_GlmfBeginGlsBlock == kestrel::kSlot_glDebugEntry + 1);
static_assert(kestrel::kSlot_GlmfCloseMetaFile == kestrel::kSlot_glDebugEntry + 2);
static_assert(kestrel::kSlot_GlmfEndGlsBlock == kestrel::kSlot_glDebugEntry + 3);
static_assert(kestrel::kSlot_GlmfEndPlayback == kestrel::kSlot_glDebugEntry + 4);
static_assert(kestrel::kSlot_GlmfInitPlayback == kestrel::kSlot_glDebugEntry + 5);
static_assert(kestrel::kSlot_GlmfPlayGlsRecord == kestrel::kSlot_glDebugEntry + 6);

extern "C" void* __cdecl kestrel_PassThroughTarget(unsigned slot) {
    kestrel::g_kestrel.EnsureStarted();
    return kestrel::g_realEntries[slot];
}

#if defined(__x86_64__)
// No decoration and no stack cleanup by the callee; the argument registers are kept across the
// binding call (these functions take no floating-point arguments).
#define KESTREL_PASS_THROUGH(name, bytes, index)                                                       \
    asm(".text\n"                                                                                      \
        ".globl impl_" #name "\n"                                                                      \
        "impl_" #name ":\n"                                                                            \
        "    movq g_realEntries+8*(" KESTREL_STR(KESTREL_FIRST_PASS_SLOT) "+" #index ")(%rip), %rax\n" \
        "    testq %rax, %rax\n"                                                                       \
        "    jnz 1f\n"                                                                                 \
        "    pushq %rcx\n"                                                                             \
        "    pushq %rdx\n"                                                                             \
        "    pushq %r8\n"                                                                              \
        "    pushq %r9\n"                                                                              \
        "    subq $40, %rsp\n"                                                                         \
        "    movl $(" KESTREL_STR(KESTREL_FIRST_PASS_SLOT) "+" #index "), %ecx\n"                      \
        "    call kestrel_PassThroughTarget\n"                                                         \
        "    addq $40, %rsp\n"                                                                         \
        "    popq %r9\n"                                                                               \
        "    popq %r8\n"                                                                               \
        "    popq %rdx\n"                                                                              \
        "    popq %rcx\n"                                                                              \
        "    testq %rax, %rax\n"                                                                       \
        "    jz 2f\n"                                                                                  \
        "1:  jmp *%rax\n"                                                                              \
        "2:  ret\n");
#else
#define KESTREL_PASS_THROUGH(name, bytes, index)                                                       \
    asm(".text\n"                                                                                      \
        ".globl _impl_" #name "@" #bytes "\n"                                                          \
        "_impl_" #name "@" #bytes ":\n"                                                                \
        "    movl _g_realEntries+4*(" KESTREL_STR(KESTREL_FIRST_PASS_SLOT) "+" #index "), %eax\n"      \
        "    testl %eax, %eax\n"                                                                       \
        "    jnz 1f\n"                                                                                 \
        "    pushl $(" KESTREL_STR(KESTREL_FIRST_PASS_SLOT) "+" #index ")\n"                           \
        "    call _kestrel_PassThroughTarget\n"                                                        \
        "    addl $4, %esp\n"                                                                          \
        "    testl %eax, %eax\n"                                                                       \
        "    jz 2f\n"                                                                                  \
        "1:  jmp *%eax\n"                                                                              \
        "2:  ret $" #bytes "\n");
#endif

KESTREL_PASS_THROUGH(glDebugEntry, 8, 0)
KESTREL_PASS_THROUGH(GlmfBeginGlsBlock, 4, 1)
KESTREL_PASS_THROUGH(GlmfCloseMetaFile, 4, 2)
KESTREL_PASS_THROUGH(GlmfEndGlsBlock, 4, 3)
KESTREL_PASS_THROUGH(GlmfEndPlayback, 4, 4)
KESTREL_PASS_THROUGH(GlmfInitPlayback, 12, 5)
KESTREL_PASS_THROUGH(GlmfPlayGlsRecord, 16, 6)

// Asking for the default entry points ends the process, as the system library's stand-in must.
extern "C" void* __stdcall impl_wglGetDefaultProcAddress(const char*) { std::exit(1); }
