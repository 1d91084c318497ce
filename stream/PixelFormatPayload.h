// Record 122: the pixel format a device context was given, as the system describes it. A program
// may choose a format by attributes (wglChoosePixelFormatARB) and hand SetPixelFormat a descriptor
// of what it asked for, not of what it got; the wglSetPixelFormat record keeps that descriptor, so
// this record, written just before it when the call succeeded, says which buffers (colour, depth,
// stencil, accumulation) the program really drew with.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>

#include "stream/PointerWidth.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

#pragma pack(push, 1)
// The device context is a handle, as wide as the recorded process's pointers (AddressT is
// std::uint32_t or std::uint64_t).
template <class AddressT>
struct BasicPixelFormatPayload {
    static constexpr std::uint32_t kId = kPixelFormatRecord;
    AddressT deviceContext;
    std::int32_t format;                // the format number that was set
    PIXELFORMATDESCRIPTOR descriptor;   // DescribePixelFormat of that number
};
#pragma pack(pop)

using PixelFormatPayload = BasicPixelFormatPayload<Address>;
using PixelFormatPayload32 = BasicPixelFormatPayload<std::uint32_t>;
using PixelFormatPayload64 = BasicPixelFormatPayload<std::uint64_t>;

static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40);
static_assert(sizeof(PixelFormatPayload32) == 48);
static_assert(offsetof(PixelFormatPayload32, format) == 4);
static_assert(offsetof(PixelFormatPayload32, descriptor) == 8);
static_assert(sizeof(PixelFormatPayload64) == 52);
static_assert(offsetof(PixelFormatPayload64, format) == 8);
static_assert(offsetof(PixelFormatPayload64, descriptor) == 12);

}  // namespace kestrel
