#include "glrecord/IndexRange.h"

#include <windows.h>

#include <cstring>

namespace kestrel {

namespace {
template <class T>
IndexScan Scan(const void* indices, std::uint32_t count, std::uint32_t start, bool restart, std::uint32_t restartIndex) {
    IndexScan scan{start, 0, false};
    const auto* bytes = static_cast<const unsigned char*>(indices);
    for (std::uint32_t i = 0; i < count; ++i) {
        T value;
        std::memcpy(&value, bytes + i * sizeof(T), sizeof(T));  // indices need not be aligned
        const std::uint32_t index = value;
        if (restart && index == restartIndex) continue;
        if (index < scan.minimum) scan.minimum = index;
        if (index > scan.maximum) scan.maximum = index;
        scan.any = true;
    }
    return scan;
}
}  // namespace

IndexScan ScanIndices(const void* indices, std::uint32_t count, std::uint32_t type, bool restart,
                      std::uint32_t restartIndex) {
    if (!indices) return {0, 0, false};
    switch (type) {
    case 0x1401: return Scan<std::uint8_t>(indices, count, 255, restart, restartIndex);
    case 0x1403: return Scan<std::uint16_t>(indices, count, 65535, restart, restartIndex);
    case 0x1405: return Scan<std::uint32_t>(indices, count, 0xFFFFFFFFu, restart, restartIndex);
    default: return {0, 0, false};
    }
}

VertexRange RangeOf(const IndexScan& scan, std::int32_t baseVertex) {
    if (!scan.any) return {};
    // In 64 bits: a base vertex that moves the range below 0 or past 32 bits reaches no vertex.
    const std::int64_t first = std::int64_t{scan.minimum} + baseVertex;
    const std::int64_t count = std::int64_t{scan.maximum} - scan.minimum + 1;
    if (first < 0 || first + count > 0xFFFFFFFFll) return {};
    return {static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(count)};
}

void IndexScan::Merge(const IndexScan& other) {
    if (!other.any) return;
    if (!any || other.minimum < minimum) minimum = other.minimum;
    if (!any || other.maximum > maximum) maximum = other.maximum;
    any = true;
}

std::uint32_t ReadablePrefix(const void* address, std::uint32_t length, ReadableProbe readable) {
    const auto* base = static_cast<const unsigned char*>(address);
    std::uint32_t previous = 0;
    std::uint32_t tried = length;
    std::uint32_t step = length;
    for (;;) {
        if (tried == 0) return 0;
        const bool ok = readable(base, tried);
        if (ok && (tried == length || step == 1)) {
            // The halving can stop a few bytes short of the boundary; those bytes are the
            // application's too, so they are taken rather than recorded as zeros.
            while (tried < length && readable(base, tried + 1)) ++tried;
            return tried;
        }
        const std::uint32_t distance = tried > previous ? tried - previous : previous - tried;
        step = distance / 2 > 0 ? distance / 2 : 1;
        previous = tried;
        if (ok)
            tried = tried + step > length ? length : tried + step;
        else
            tried = tried > step ? tried - step : 0;
    }
}

namespace {

// Asks the memory manager rather than touching the pages: IsBadReadPtr would take a guard page's
// guard away (breaking the application's stack growth) and relies on fault handling.
bool Readable(const void* address, std::uint32_t bytes, bool reservedReadable) {
    if (bytes == 0) return true;
    auto at = reinterpret_cast<std::uintptr_t>(address);
    const std::uintptr_t end = at + bytes;
    if (end < at) return false;
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    while (at < end) {
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) != sizeof region) return false;
        // Memory the GL mapped from the host side is reserved to a 32-bit process's memory manager,
        // and unknown (free) to a 64-bit one's, whose address space is not reserved whole.
        const bool hostMemory = reservedReadable && (region.State == MEM_RESERVE ||
                                                     (sizeof(void*) == 8 && region.State == MEM_FREE));
        if (!hostMemory &&
            (region.State != MEM_COMMIT || (region.Protect & PAGE_GUARD) || !(region.Protect & kReadable)))
            return false;
        const std::uintptr_t regionEnd = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (regionEnd <= at) return false;
        at = regionEnd;
    }
    return true;
}

}  // namespace

bool SystemReadable(const void* address, std::uint32_t bytes) { return Readable(address, bytes, false); }

bool DriverMemoryReadable(const void* address, std::uint32_t bytes) { return Readable(address, bytes, true); }

}  // namespace kestrel
