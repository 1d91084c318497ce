// The records that the stream and the capturer write around the recorded calls: their names and
// the payload sizes they can have, shared by the capture reader and the dump.
#pragma once
#include <cstdint>

#include "stream/DrawablePayload.h"

namespace kestrel {

// Describes a device context; the bitmap of a windowless one may follow its fixed 92 bytes.
constexpr std::uint32_t kDrawableSize = sizeof(DrawableRecord);
constexpr std::uint32_t kDibSectionSize = sizeof(DIBSECTION);
// Address, offset and flags ahead of the bytes of a client memory block.
constexpr std::uint32_t kClientMemoryHeaderSize = sizeof(ClientMemoryHead);
constexpr std::uint32_t kVariantArrayFlag = ClientMemoryHead::kVariantFlag;

struct StreamRecordKind {
    std::uint32_t id;
    const char* name;
    std::uint32_t minSize;  // payload bytes
    std::uint32_t maxSize;
};

// Null for an id below the API ids that no record of the stream has.
const StreamRecordKind* FindStreamRecordKind(std::uint32_t id);

}  // namespace kestrel
