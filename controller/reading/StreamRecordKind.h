// The records that the stream and the capturer write around the recorded calls: their names and
// the payload sizes they can have, shared by the capture reader and the dump. Those that hold a
// handle or an address are as wide as the recorded process's pointers (32 or 64 bits, from the API
// type record).
#pragma once
#include <cstdint>

#include "stream/DrawablePayload.h"
#include "stream/FrameEndPayload.h"
#include "stream/PixelFormatPayload.h"
#include "stream/ThreadSwitchPayload.h"

namespace kestrel {

// Describes a device context; the bitmap of a windowless one may follow its fixed part.
constexpr std::uint32_t DrawableSize(std::uint32_t pointerBits) {
    return pointerBits == 64 ? sizeof(DrawableRecord64) : sizeof(DrawableRecord32);
}
constexpr std::uint32_t DibSectionSize(std::uint32_t pointerBits) { return DibSectionBytes(pointerBits); }
// Address, offset and flags ahead of the bytes of a client memory block.
constexpr std::uint32_t ClientMemoryHeaderSize(std::uint32_t pointerBits) {
    return pointerBits == 64 ? sizeof(ClientMemoryHead64) : sizeof(ClientMemoryHead32);
}
constexpr std::uint32_t ThreadSwitchSize(std::uint32_t pointerBits) {
    return pointerBits == 64 ? sizeof(ThreadSwitchPayload64) : sizeof(ThreadSwitchPayload32);
}
// A single-buffered window's device context, then the id of the call that ended its frame. An
// earlier 64-bit recorder wrote the 32-bit form, which readers still take.
constexpr std::uint32_t FrameEndSize(std::uint32_t pointerBits) {
    return pointerBits == 64 ? sizeof(FrameEndPayload64) : sizeof(FrameEndPayload32);
}
constexpr std::uint32_t kFrameEndMinSize = sizeof(FrameEndPayload32);
// Device context, format number and the set format's descriptor.
constexpr std::uint32_t PixelFormatSize(std::uint32_t pointerBits) {
    return pointerBits == 64 ? sizeof(PixelFormatPayload64) : sizeof(PixelFormatPayload32);
}
// Bytes of an address or handle in a payload.
constexpr std::uint32_t AddressSize(std::uint32_t pointerBits) { return pointerBits / 8; }
constexpr std::uint32_t kVariantArrayFlag = ClientMemoryHead::kVariantFlag;

struct StreamRecordKind {
    std::uint32_t id;
    const char* name;
    std::uint32_t minSize;  // payload bytes
    std::uint32_t maxSize;
};

// Null for an id below the API ids that no record of the stream has; sizes for a capture of this width.
const StreamRecordKind* FindStreamRecordKind(std::uint32_t id, std::uint32_t pointerBits = 32);

}  // namespace kestrel
