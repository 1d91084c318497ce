// The calling thread's id and TLS slot values read straight from its thread environment block, as
// GetCurrentThreadId and TlsGetValue read them, without the library call and without TlsGetValue's
// SetLastError: the gate asks for both several times in every recorded call.
#pragma once
#include <windows.h>

namespace kestrel {

inline constexpr DWORD kTebTlsSlotCount = 64;

#if defined(__x86_64__)
// The block is at gs: in a 64-bit process, with 8-byte fields.
inline constexpr unsigned long kTebThreadId = 0x48;     // ClientId.UniqueThread
inline constexpr unsigned long kTebTlsSlots = 0x1480;   // the first 64 TLS slots

// The id never changes on a thread, so repeated reads may be merged.
inline DWORD CurrentThreadId() {
    DWORD id;
    __asm__("movl %%gs:%c1, %0" : "=r"(id) : "i"(kTebThreadId));
    return id;
}

inline void* TlsSlotValue(DWORD slot) {
    if (slot < kTebTlsSlotCount) {
        void* value;
        __asm__ volatile("movq %%gs:(%1), %0" : "=r"(value) : "r"(kTebTlsSlots + slot * 8ull) : "memory");
        return value;
    }
    return TlsGetValue(slot);  // the expansion slots live elsewhere
}
#else
inline constexpr unsigned long kTebThreadId = 0x24;     // ClientId.UniqueThread
inline constexpr unsigned long kTebTlsSlots = 0xE10;    // the first 64 TLS slots

// The id never changes on a thread, so repeated reads may be merged.
inline DWORD CurrentThreadId() {
    DWORD id;
    __asm__("movl %%fs:%c1, %0" : "=r"(id) : "i"(kTebThreadId));
    return id;
}

inline void* TlsSlotValue(DWORD slot) {
    if (slot < kTebTlsSlotCount) {
        void* value;
        __asm__ volatile("movl %%fs:(%1), %0" : "=r"(value) : "r"(kTebTlsSlots + slot * 4) : "memory");
        return value;
    }
    return TlsGetValue(slot);  // the expansion slots live elsewhere
}
#endif

}  // namespace kestrel
