// What fault_app and its test share: the sections the program runs (one capture each) and the numbers
// of their cases, the glPassThrough value that opens each.
#pragma once

namespace faultcases {

enum Case : int {
    // draws: ranges that do not exist, vertex array objects, restarts, indirect buffers, element sizes
    kVertexArrayElementBuffer,
    kEmptyByteIndices,
    kNegativeCount,
    kNegativeFirst,
    kEndBeforeStart,
    kNoInstances,
    kClientRestart,
    kClientFixedRestart,
    kIndirectMappedPersistently,
    kIndirectWithoutReadAccess,
    kIndirectPastTheBuffer,
    kRangeInBuffer,
    kRangeBaseVertexInBuffer,
    kBgraColours,
    kPackedAttribute,
    // contexts: bitmaps and context lifetimes
    kPalettedBitmap,
    kTopDownBitmap,
    kBitmapBeyondMemory,
    kDeleteRefused,
    kDrawAfterRefusedDelete,
    // buffers: every mappable target, named maps, failed unmaps
    kMapThroughEveryTarget,
    kNamedMapOfAnUnboundBuffer,
    kUnmapOfAnUnmappedBuffer,
    kLargeUnmap,
    // uploads: packed types, formats, proxies, padding at the end of readable memory
    kDepthStencil24_8,
    kDepthFloatStencil,
    kPackedFloat,
    kSharedExponent,
    kRgInteger,
    kCubeMapProxy,
    kArrayProxy,
    kPaddingAtEndOfMemory,
    // overrides: debug messages, swap interval, counts whose bytes would wrap 32 bits
    kMessageWithLength,
    kMessageAtEndOfMemory,
    kSwapInterval,
    kWrappingIdCount,
    kWrappingDrawBufferCount,
    // images: the application's state and errors across the read-back
    kReadBackKeepsState,
    kInsideBeginEnd,
    kCompilingList,
    kCoreProfile,
    // legacy: a GL 2.0 context without pixel buffer objects
    kCompressedWithoutPixelBuffers,
    kTextureObjectWithoutPixelBuffers,
    kCaseCount
};

constexpr const char* kSections[] = {"draws", "contexts", "buffers", "uploads", "overrides", "images", "legacy"};

}  // namespace faultcases
