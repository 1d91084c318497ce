// Record 120: what a device context that a wgl call named draws to. Written whole when it is new or
// changed; a windowless bitmap's DIBSECTION (84 bytes) and pixels may follow it.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>

#include "stream/PointerWidth.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

enum DrawableKind : std::uint32_t {
    kDrawableFullScreen = 1,     // the client rectangle equals the desktop window's
    kDrawableNoWindow = 2,
    kDrawableBitmapCaptured = 4,  // the bitmap's pixels follow the record
};

enum DrawableChange : std::uint32_t {
    kDrawableNew = 1,
    kDrawableRectChanged = 2,
    kDrawableBecameFullScreen = 4,
    kDrawableFontChanged = 8,
    kDrawableNeverTrack = 16,  // a pixel buffer's device context
};

// The window field of a device context without a window: all ones at the field's width.
constexpr Address kNoWindow = ~Address{0};

#pragma pack(push, 1)
// The window and the device context are handles, as wide as the recorded process's pointers
// (AddressT is std::uint32_t or std::uint64_t). The DIBSECTION that may follow is the process's own:
// 84 bytes in a 32-bit capture, 104 in a 64-bit one (DibSectionBytes).
template <class AddressT>
struct BasicDrawableRecord {
    static constexpr std::uint32_t kId = kDrawableRecord;
    AddressT window;
    AddressT deviceContext;
    std::int32_t rect[4];  // left, top, right, bottom
    std::uint32_t kindFlags;
    LOGFONTA font;
    std::uint32_t changeFlags;
};
#pragma pack(pop)

using DrawableRecord = BasicDrawableRecord<Address>;
using DrawableRecord32 = BasicDrawableRecord<std::uint32_t>;
using DrawableRecord64 = BasicDrawableRecord<std::uint64_t>;

// A bitmap's DIBSECTION as a capture of each width holds it.
constexpr std::uint32_t DibSectionBytes(std::uint32_t pointerBits) { return pointerBits == 64 ? 104 : 84; }
static_assert(sizeof(DIBSECTION) == DibSectionBytes(kPointerBits));
static_assert(sizeof(LOGFONTA) == 60);
static_assert(sizeof(DrawableRecord32) == 92);
static_assert(offsetof(DrawableRecord32, deviceContext) == 4);
static_assert(offsetof(DrawableRecord32, rect) == 8);
static_assert(offsetof(DrawableRecord32, kindFlags) == 24);
static_assert(offsetof(DrawableRecord32, font) == 28);
static_assert(offsetof(DrawableRecord32, changeFlags) == 88);
static_assert(sizeof(DrawableRecord64) == 100);
static_assert(offsetof(DrawableRecord64, rect) == 16);

// Geometry kind of the context-creation records.
enum GeometryKind : std::uint32_t { kWindowed = 0, kFullScreen = 1, kWindowless = 2 };

struct Geometry {
    std::int32_t rect[4];
    std::uint32_t kind;
};

#pragma pack(push, 1)
// Record 23: ahead of the bytes of client memory that a draw reaches. The address is the process's
// pointer at its own width.
template <class AddressT>
struct BasicClientMemoryHead {
    static constexpr std::uint32_t kId = kClientMemoryBlockRecord;
    static constexpr std::uint32_t kVariantFlag = 0x80000000u;
    AddressT address;       // the array's pointer
    std::uint32_t offset;   // bytes from the address to the first byte that follows
    std::uint32_t flags;
};
#pragma pack(pop)
using ClientMemoryHead = BasicClientMemoryHead<Address>;
using ClientMemoryHead32 = BasicClientMemoryHead<std::uint32_t>;
using ClientMemoryHead64 = BasicClientMemoryHead<std::uint64_t>;
static_assert(sizeof(ClientMemoryHead32) == 12);
static_assert(offsetof(ClientMemoryHead32, offset) == 4);
static_assert(offsetof(ClientMemoryHead32, flags) == 8);
static_assert(sizeof(ClientMemoryHead64) == 16);
static_assert(offsetof(ClientMemoryHead64, offset) == 8);

}  // namespace kestrel
