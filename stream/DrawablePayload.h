// Record 120: what a device context that a wgl call named draws to. Written whole when it is new or
// changed; a windowless bitmap's DIBSECTION (84 bytes) and pixels may follow it.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>

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

constexpr std::uint32_t kNoWindow = 0xFFFFFFFF;

#pragma pack(push, 1)
struct DrawableRecord {
    static constexpr std::uint32_t kId = kDrawableRecord;
    std::uint32_t window;
    std::uint32_t deviceContext;
    std::int32_t rect[4];  // left, top, right, bottom
    std::uint32_t kindFlags;
    LOGFONTA font;
    std::uint32_t changeFlags;
};
#pragma pack(pop)

static_assert(sizeof(LOGFONTA) == 60);
static_assert(sizeof(DIBSECTION) == 84);
static_assert(sizeof(DrawableRecord) == 92);
static_assert(offsetof(DrawableRecord, deviceContext) == 4);
static_assert(offsetof(DrawableRecord, rect) == 8);
static_assert(offsetof(DrawableRecord, kindFlags) == 24);
static_assert(offsetof(DrawableRecord, font) == 28);
static_assert(offsetof(DrawableRecord, changeFlags) == 88);

// Geometry kind of the context-creation records.
enum GeometryKind : std::uint32_t { kWindowed = 0, kFullScreen = 1, kWindowless = 2 };

struct Geometry {
    std::int32_t rect[4];
    std::uint32_t kind;
};

#pragma pack(push, 1)
// Record 23: ahead of the bytes of client memory that a draw reaches.
struct ClientMemoryHead {
    static constexpr std::uint32_t kId = kClientMemoryBlockRecord;
    static constexpr std::uint32_t kVariantFlag = 0x80000000u;
    std::uint32_t address;  // the array's pointer
    std::uint32_t offset;   // bytes from the address to the first byte that follows
    std::uint32_t flags;
};
#pragma pack(pop)
static_assert(sizeof(ClientMemoryHead) == 12);
static_assert(offsetof(ClientMemoryHead, offset) == 4);
static_assert(offsetof(ClientMemoryHead, flags) == 8);

}  // namespace kestrel
