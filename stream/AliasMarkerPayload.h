#pragma once
#include <cstddef>
#include <cstdint>

#include "stream/RecordHeader.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

#pragma pack(push, 1)
// Leads the record that it marks. The marker's declared payload size also covers that whole
// record, so a reader that skips the marker by its size skips the aliased record too.
struct AliasMarkerPayload {
    static constexpr uint32_t kId = kAliasMarkerRecord;
    uint32_t targetApiId;
    uint32_t aliasNumber;

    // The marker's declared payload size ahead of a record with the given payload size.
    static constexpr uint32_t DeclaredSize(uint32_t followingPayloadSize) {
        return sizeof(AliasMarkerPayload) + sizeof(RecordHeader) + followingPayloadSize;
    }
};
#pragma pack(pop)

static_assert(sizeof(AliasMarkerPayload) == 8);
static_assert(offsetof(AliasMarkerPayload, targetApiId) == 0);
static_assert(offsetof(AliasMarkerPayload, aliasNumber) == 4);
static_assert(AliasMarkerPayload::DeclaredSize(0) == 24);

}  // namespace kestrel
