#pragma once
#include <cstddef>
#include <cstdint>

namespace kestrel {

#pragma pack(push, 1)
// Stands in front of every payload; records follow one another without padding.
struct RecordHeader {
    uint32_t id;           // API id (0x40000000 and up) or a StreamRecordId
    uint32_t payloadSize;  // bytes after the header; may be 0
    int64_t timeStamp;     // performance counter value (PerformanceClock), taken while the writer holds the stream locks
};
#pragma pack(pop)

static_assert(sizeof(RecordHeader) == 16);
static_assert(offsetof(RecordHeader, id) == 0);
static_assert(offsetof(RecordHeader, payloadSize) == 4);
static_assert(offsetof(RecordHeader, timeStamp) == 8);

// Ids from here on name recorded entry points; ids below name the stream's and the capturer's own records.
constexpr uint32_t kFirstApiId = 0x40000000;

}  // namespace kestrel
