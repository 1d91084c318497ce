// Extension entry points: the lookup hands out the recorder's own interceptors, and the slots of the
// real entry points are filled from the real wglGetProcAddress.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

#include "capture/GLKestrel.h"
#include "gen/ApiTable.h"
#include "stream/PointerWidth.h"

namespace kestrel {

namespace {

using GetProcAddressFn = kgl::PROC(__stdcall*)(kgl::LPCSTR);

// Recorded in place of an address when the application was handed the real function itself.
constexpr std::uint32_t kRealFunctionHandedOut = 0xDEADBEEFu;

// Values below 64 KiB are atoms or ordinals, never the address of a name.
bool IsName(const char* name) { return reinterpret_cast<std::uintptr_t>(name) >= 0x10000; }

const ExtensionEntry* FindExtension(const char* name) {
    const std::uint16_t* end = kExtensionsByName + kExtensionCount;
    const std::uint16_t* at = std::lower_bound(kExtensionsByName, end, name, [](std::uint16_t entry, const char* key) {
        return std::strcmp(kExtensions[entry].name, key) < 0;
    });
    return at != end && std::strcmp(kExtensions[*at].name, name) == 0 ? &kExtensions[*at] : nullptr;
}

// Slots are read by other threads' calls without a lock: one pointer-sized store each.
void StoreSlot(unsigned slot, void* address) {
    std::atomic_ref<void*>(g_realEntries[slot]).store(address, std::memory_order_release);
}

// At the process's pointer width, as every returned pointer is recorded.
Address AddressValue(const void* address) {
    return reinterpret_cast<Address>(address);
}

}  // namespace

void* GLKestrel::LookupInterceptor(const char* name) {
    if (!IsName(name)) return nullptr;
    const ExtensionEntry* entry = FindExtension(name);
    if (!entry) return nullptr;
    if (std::atomic_ref<void*>(g_realEntries[entry->function]).load(std::memory_order_acquire))
        return entry->interceptor;
    // Not resolved yet: resolve it now, but this once the caller hands out the real function.
    auto real = reinterpret_cast<GetProcAddressFn>(RealEntry(fn::wglGetProcAddress, api::wglGetProcAddress));
    if (real) StoreSlot(entry->function, reinterpret_cast<void*>(real(name)));
    return nullptr;
}

void GLKestrel::ResolveAllExtensions() {
    auto real = reinterpret_cast<GetProcAddressFn>(RealEntry(fn::wglGetProcAddress, api::wglGetProcAddress));
    if (extensionsResolved_ || !real) return;
    for (const ExtensionEntry& entry : kExtensions) StoreSlot(entry.function, reinterpret_cast<void*>(real(entry.name)));
    extensionsResolved_ = 1;
}

kgl::PROC GLKestrel::wglGetProcAddress(kgl::LPCSTR lpszProc) {
    EnterCall();
    void* address = LookupInterceptor(lpszProc);
    Address recorded = AddressValue(address);
    if (!address) {
        auto real = reinterpret_cast<GetProcAddressFn>(RealEntry(fn::wglGetProcAddress, api::wglGetProcAddress));
        address = real ? reinterpret_cast<void*>(real(lpszProc)) : nullptr;
        recorded = address ? kRealFunctionHandedOut : 0u;
    }
    if (ShouldRecord()) {
        const char* name = IsName(lpszProc) ? lpszProc : "";
        const std::uint32_t nameBytes = static_cast<std::uint32_t>(std::strlen(name)) + 1u;
        BeginRecord(api::wglGetProcAddress, sizeof recorded + nameBytes);
        WriteData(sizeof recorded, &recorded);
        WriteData(nameBytes, name);
    }
    LeaveCall();
    return reinterpret_cast<kgl::PROC>(address);
}

}  // namespace kestrel
