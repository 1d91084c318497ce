#pragma once
#include <cstddef>
#include <cstdint>

#include "stream/StreamRecordId.h"

namespace kestrel {

#pragma pack(push, 1)
// First opening record.
struct FormatVersionPayload {
    static constexpr uint32_t kId = kFormatVersionRecord;
    static constexpr uint32_t kCurrent = 0x00010002;
    uint32_t version;
};
#pragma pack(pop)

static_assert(sizeof(FormatVersionPayload) == 4);
static_assert(offsetof(FormatVersionPayload, version) == 0);

}  // namespace kestrel
