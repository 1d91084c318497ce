// Record 121: a frame that ended without a swap. A single-buffered window shows what is drawn into
// its only buffer, so a glFlush or glFinish after drawing into it ends its frame; the record follows
// that call's own record at once.
#pragma once
#include <cstddef>
#include <cstdint>

#include "stream/PointerWidth.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

#pragma pack(push, 1)
// The device context is a handle, as wide as the recorded process's pointers (AddressT is
// std::uint32_t or std::uint64_t).
template <class AddressT>
struct BasicFrameEndPayload {
    static constexpr std::uint32_t kId = kFrameEndRecord;
    AddressT deviceContext;  // the window's, as the context had it current
    std::uint32_t apiId;     // of the call that ended the frame
};
#pragma pack(pop)

using FrameEndPayload = BasicFrameEndPayload<Address>;
using FrameEndPayload32 = BasicFrameEndPayload<std::uint32_t>;
using FrameEndPayload64 = BasicFrameEndPayload<std::uint64_t>;

static_assert(sizeof(FrameEndPayload32) == 8);
static_assert(offsetof(FrameEndPayload32, deviceContext) == 0);
static_assert(offsetof(FrameEndPayload32, apiId) == 4);
static_assert(sizeof(FrameEndPayload64) == 12);
static_assert(offsetof(FrameEndPayload64, apiId) == 8);

}  // namespace kestrel
