#include "controller/reading/StreamRecordKind.h"

#include "stream/AliasMarkerPayload.h"
#include "stream/ApiTypePayload.h"
#include "stream/FormatVersionPayload.h"
#include "stream/MappedWritePayload.h"
#include "stream/RecorderVersionPayload.h"
#include "stream/StreamRecordId.h"
#include "stream/SystemDescriptionPayload.h"
#include "stream/ThreadSwitchPayload.h"

namespace kestrel {

namespace {
constexpr std::uint32_t kAny = 0xFFFFFFFFu;

template <std::uint32_t kPointerBits>
constexpr StreamRecordKind kKinds[] = {
    {kFormatVersionRecord, "format version", sizeof(FormatVersionPayload), sizeof(FormatVersionPayload)},
    {kRecorderVersionRecord, "recorder version", sizeof(RecorderVersionPayload), sizeof(RecorderVersionPayload)},
    {kApiTypeRecord, "API type", sizeof(ApiTypePayload), sizeof(ApiTypePayload)},
    {kSystemDescriptionRecord, "system description", sizeof(SystemDescriptionPayload), sizeof(SystemDescriptionPayload)},
    {kThreadSwitchRecord, "thread switch", ThreadSwitchSize(kPointerBits), ThreadSwitchSize(kPointerBits)},
    // The marker's declared size also covers the whole record that it marks.
    {kAliasMarkerRecord, "alias marker", AliasMarkerPayload::DeclaredSize(0), kAny},
    {kClientMemoryBlockRecord, "client memory block", ClientMemoryHeaderSize(kPointerBits), kAny},
    {kDrawableRecord, "drawable", DrawableSize(kPointerBits), kAny},
    {kFrameEndRecord, "frame end", kFrameEndMinSize, FrameEndSize(kPointerBits)},
    {kPixelFormatRecord, "pixel format", PixelFormatSize(kPointerBits), PixelFormatSize(kPointerBits)},
    {kMappedWriteRecord, "mapped write", sizeof(MappedWriteHead), kAny},
};
}  // namespace

const StreamRecordKind* FindStreamRecordKind(std::uint32_t id, std::uint32_t pointerBits) {
    for (const StreamRecordKind& kind : pointerBits == 64 ? kKinds<64> : kKinds<32>)
        if (kind.id == id) return &kind;
    return nullptr;
}

}  // namespace kestrel
