#pragma once
#include <cstddef>
#include <cstdint>

#include "stream/StreamRecordId.h"

namespace kestrel {

#pragma pack(push, 1)
// Second opening record.
struct RecorderVersionPayload {
    static constexpr uint32_t kId = kRecorderVersionRecord;
    static constexpr uint32_t kCurrent = 0x01060100;
    uint32_t version;
    uint32_t reserved;  // 0
};
#pragma pack(pop)

static_assert(sizeof(RecorderVersionPayload) == 8);
static_assert(offsetof(RecorderVersionPayload, version) == 0);
static_assert(offsetof(RecorderVersionPayload, reserved) == 4);

}  // namespace kestrel
