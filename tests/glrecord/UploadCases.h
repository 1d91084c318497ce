// What the upload program does under capture and its test checks: the cases in program order (the
// separator before each carries its number) and the images uploaded with non-default unpack state.
#pragma once
#include <cstdint>

enum UploadCase : int {
    kBufferDataWithoutData,
    kBufferDataWithData,
    kNegativeSubDataSize,
    kMappedRangeWrite,
    kReadOnlyMap,
    kUnmapWithoutMap,
    kDeletedElementBuffer,
    kRgbAlignment4,
    kRgbAlignment1,
    kRgbSkipPixel,
    kBitmap,
    kProxyTargets,
    kUploadFromUnpackBuffer,
    kBorderColour,
    kReadIntoPackBuffer,
    kPixelMapFromUnpackBuffer,
    kStippleRoundTrip,
    kTexture1DSkipRows,
    kFirstRoundTrip,  // one case per entry of kRoundTrips from here
};

// A texture image uploaded from a pattern under this unpack state and read back tightly packed.
struct RoundTrip {
    std::int32_t width, height;
    std::uint32_t internalFormat, format, type;
    std::int32_t rowLength, alignment, skipPixels, skipRows;
    std::uint32_t bytesPerPixel;  // of format and type
    std::uint32_t elementSize;    // of one component, or of the whole pixel for a packed type
};

inline constexpr RoundTrip kRoundTrips[] = {
    {3, 2, 0x8051, 0x1907, 0x1401, 0, 4, 0, 0, 3, 1},        // RGB8, rows padded to 4
    {5, 3, 0x8051, 0x1907, 0x1401, 7, 1, 1, 2, 3, 1},        // row length, skips, alignment 1
    {3, 3, 0x8058, 0x1908, 0x1401, 6, 8, 2, 1, 4, 1},        // RGBA8 at alignment 8
    {5, 2, 0x8229, 0x1903, 0x1401, 9, 2, 3, 1, 1, 1},        // R8 at alignment 2
    {5, 3, 0x8D62, 0x1907, 0x8363, 0, 4, 0, 0, 2, 2},        // 5_6_5: rows of 10 padded to 12
    {3, 2, 0x8058, 0x80E1, 0x8367, 5, 8, 1, 1, 4, 4},        // BGRA 8_8_8_8_REV
    {3, 3, 0x822A, 0x1903, 0x1403, 5, 8, 1, 0, 2, 2},        // R16: shorts at alignment 8
    {2, 2, 0x8230, 0x8227, 0x1406, 3, 4, 0, 1, 8, 4},        // RG32F, row length 3
    {3, 2, 0x8051, 0x1907, 0x1401, 5, 4, 0, 0, 3, 1},        // RGB8, rows of 15 padded to 16
};
inline constexpr int kRoundTripCount = static_cast<int>(sizeof kRoundTrips / sizeof kRoundTrips[0]);
inline constexpr int kUploadCaseCount = kFirstRoundTrip + kRoundTripCount;

// The pattern an upload's client memory holds: no two neighbouring bytes alike.
inline std::uint8_t PatternByte(std::uint32_t at) { return static_cast<std::uint8_t>(at * 37u + 11u); }
// Floats of an exact pattern for the float formats: no NaN, no rounding.
inline float PatternFloat(std::uint32_t at) { return static_cast<float>(at % 1000u) * 0.25f - 7.0f; }

// The bytes of the mapped-range case and of its buffer object.
inline constexpr std::uint32_t kMapBufferSize = 1024, kMapOffset = 256, kMapLength = 64;
