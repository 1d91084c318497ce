// Record 123: what the application wrote into a persistent mapping since the GL last could read it.
// The fixed part names the buffer and the number of runs; a (offset, length) pair per run follows,
// then the bytes of every run, one after another. Offsets count from the buffer's start, not the
// mapping's, so a replay that maps another range still places them. Buffers and their mappings are
// limited to 4 GiB here as everywhere in the recorder: no field is pointer-sized.
#pragma once
#include <cstddef>
#include <cstdint>

#include "stream/StreamRecordId.h"

namespace kestrel {

#pragma pack(push, 1)
struct MappedWriteHead {
    static constexpr std::uint32_t kId = kMappedWriteRecord;
    std::uint32_t buffer;  // the application's name, in the context of the thread's switch record
    std::uint32_t runs;
};
struct MappedWriteRun {
    std::uint32_t offset;  // in the buffer
    std::uint32_t length;
};
#pragma pack(pop)

static_assert(sizeof(MappedWriteHead) == 8);
static_assert(offsetof(MappedWriteHead, runs) == 4);
static_assert(sizeof(MappedWriteRun) == 8);
static_assert(offsetof(MappedWriteRun, length) == 4);

}  // namespace kestrel
