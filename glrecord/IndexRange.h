// The vertices an indexed draw reaches, from its indices; and the readable part of client memory.
#pragma once
#include <cstdint>

namespace kestrel {

struct VertexRange {
    std::uint32_t first = 0;
    std::uint32_t count = 0;  // 0: no vertex is reached
};

struct IndexScan {
    std::uint32_t minimum;
    std::uint32_t maximum;
    bool any;  // false when no index was read (none given, all restarts, or a type outside the three)

    void Merge(const IndexScan& other);
};

// Smallest and largest of count indices of type 0x1401, 0x1403 or 0x1405. With restart, indices
// equal to restartIndex are skipped: the GL reads no vertex for them.
IndexScan ScanIndices(const void* indices, std::uint32_t count, std::uint32_t type, bool restart,
                      std::uint32_t restartIndex);

// The range of a scan shifted by a base vertex; empty when no index was read or the shifted range
// leaves 0 to 2^32 - 1.
VertexRange RangeOf(const IndexScan& scan, std::int32_t baseVertex = 0);

// How many bytes from the start of [address, address + length) can be read: a halving search over
// readable(address, bytes), then single bytes up to the boundary it stopped short of.
using ReadableProbe = bool (*)(const void* address, std::uint32_t bytes);
std::uint32_t ReadablePrefix(const void* address, std::uint32_t length, ReadableProbe readable);

// The system's answer: committed pages that may be read, guard pages excluded.
bool SystemReadable(const void* address, std::uint32_t bytes);
// For memory the driver handed out (a buffer's mapping): as SystemReadable, except that memory the
// system only reports as reserved counts as readable. Under a compatibility layer the driver's own
// memory is the host's, which the system describes as reserved; what is truly not readable is free,
// or committed without read access.
bool DriverMemoryReadable(const void* address, std::uint32_t bytes);

}  // namespace kestrel
