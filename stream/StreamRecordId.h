#pragma once
#include <cstdint>

namespace kestrel {

// Ids of the records that the stream and the capturer write around the recorded calls.
enum StreamRecordId : uint32_t {
    kClientMemoryBlockRecord = 23,
    kThreadSwitchRecord = 104,
    kRecorderVersionRecord = 110,
    kAliasMarkerRecord = 119,
    kDrawableRecord = 120,
    kFrameEndRecord = 121,
    kMappedWriteRecord = 122,
    kFormatVersionRecord = 200,
    kApiTypeRecord = 201,
    kSystemDescriptionRecord = 204,
};

}  // namespace kestrel
