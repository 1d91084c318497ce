// Record 121: a frame that ended without a swap. A single-buffered window shows what is drawn into
// its only buffer, so a glFlush or glFinish after drawing into it ends its frame; the record follows
// that call's own record at once.
#pragma once
#include <cstddef>
#include <cstdint>

#include "stream/StreamRecordId.h"

namespace kestrel {

#pragma pack(push, 1)
struct FrameEndPayload {
    static constexpr std::uint32_t kId = kFrameEndRecord;
    std::uint32_t deviceContext;  // the window's, as the context had it current
    std::uint32_t apiId;          // of the call that ended the frame
};
#pragma pack(pop)

static_assert(sizeof(FrameEndPayload) == 8);
static_assert(offsetof(FrameEndPayload, deviceContext) == 0);
static_assert(offsetof(FrameEndPayload, apiId) == 4);

}  // namespace kestrel
