#pragma once
#include <cstdint>

namespace kestrel {

// Ids of the records that the stream and the capturer write around the recorded calls. The
// capturer's own: 23 client memory block, 104 thread switch, 119 alias marker, 120 drawable, 121
// frame end (a single-buffered window's frame), 122 pixel format (the format a device context was
// really given, ahead of its wglSetPixelFormat record).
enum StreamRecordId : uint32_t {
    kClientMemoryBlockRecord = 23,
    kThreadSwitchRecord = 104,
    kRecorderVersionRecord = 110,
    kAliasMarkerRecord = 119,
    kDrawableRecord = 120,
    kFrameEndRecord = 121,
    kPixelFormatRecord = 122,
    kMappedWriteRecord = 123,
    kFormatVersionRecord = 200,
    kApiTypeRecord = 201,
    kSystemDescriptionRecord = 204,
};

}  // namespace kestrel
