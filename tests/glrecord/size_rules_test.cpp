// The size rules that the recorder and the capture readers share: every table's entries, the ends
// of its ranges and their neighbours outside, and the block arithmetic.
#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "glrecord/SizeRules.h"

namespace rules = kestrel::rules;

namespace {

struct Entry {
    std::uint32_t value;
    std::uint32_t expected;
};

struct Table {
    const char* name;
    std::function<std::uint32_t(std::uint32_t)> rule;
    std::vector<Entry> entries;
};

std::uint32_t TexEnvOf(std::uint32_t pname) { return rules::TexEnvValues(0x2300, pname); }
std::uint32_t InterleavedSize(std::uint32_t format) { return rules::InterleavedLayout(format).elementSize; }
std::uint32_t InterleavedCoverage(std::uint32_t format) { return rules::InterleavedLayout(format).coverage; }

const std::vector<Table> kTables = {
    {"TypeSize", rules::TypeSize,
     {{0x1400, 1}, {0x1401, 1}, {0x1402, 2}, {0x1403, 2}, {0x1404, 4}, {0x1405, 4}, {0x1406, 4}, {0x1407, 2},
      {0x1408, 3}, {0x1409, 4}, {0x140A, 8}, {0x140B, 2}, {0x140C, 4}, {0x140D, 0}, {0x13FF, 0}, {0x1A00, 1},
      {0x1A01, 0}, {0x8031, 0}, {0x8032, 1}, {0x8033, 2}, {0x8034, 2}, {0x8035, 4}, {0x8036, 4}, {0x8037, 0},
      {0x8361, 0}, {0x8362, 1}, {0x8363, 2}, {0x8366, 2}, {0x8367, 4}, {0x8368, 4}, {0x8369, 0}, {0x84FA, 4},
      {0x86DA, 4}, {0x86DB, 4}, {0x86DC, 0}, {0x8D9F, 4}, {0x8D9E, 0}, {0, 0}}},
    {"PixelComponents", rules::PixelComponents,
     {{0x18FF, 0}, {0x1900, 1}, {0x1903, 1}, {0x1906, 1}, {0x1907, 3}, {0x1908, 4}, {0x1909, 1}, {0x190A, 2},
      {0x190B, 0}, {0x8000, 4}, {0x80E0, 3}, {0x80E1, 4}, {0x8227, 2}, {0x8228, 2}, {0x8229, 0}, {0x84F9, 2}, {0x8D93, 0},
      {0x8D94, 1}, {0x8D97, 1}, {0x8D98, 3}, {0x8D99, 4}, {0x8D9A, 3}, {0x8D9B, 4}, {0x8D9C, 1}, {0x8D9D, 2},
      {0x8D9E, 0}}},
    {"InterleavedLayout element size", InterleavedSize,
     {{0x2A1F, 0}, {0x2A20, 8}, {0x2A21, 12}, {0x2A22, 12}, {0x2A23, 16}, {0x2A24, 24}, {0x2A25, 24}, {0x2A26, 40},
      {0x2A27, 20}, {0x2A28, 32}, {0x2A29, 24}, {0x2A2A, 32}, {0x2A2B, 32}, {0x2A2C, 48}, {0x2A2D, 60}, {0x2A2E, 0}}},
    {"InterleavedLayout coverage", InterleavedCoverage,
     {{0x2A1F, 0}, {0x2A20, 1}, {0x2A21, 1}, {0x2A22, 3}, {0x2A23, 3}, {0x2A24, 3}, {0x2A25, 5}, {0x2A26, 7},
      {0x2A27, 9}, {0x2A28, 9}, {0x2A29, 11}, {0x2A2A, 11}, {0x2A2B, 13}, {0x2A2C, 15}, {0x2A2D, 15}, {0x2A2E, 0}}},
    {"SymbolTypeValues", rules::SymbolTypeValues, {{0x87BD, 0}, {0x87BE, 1}, {0x87BF, 4}, {0x87C0, 16}, {0x87C1, 0}}},
    {"LightValues", rules::LightValues,
     {{0x11FF, 0}, {0x1200, 4}, {0x1203, 4}, {0x1204, 3}, {0x1205, 1}, {0x1209, 1}, {0x120A, 0}, {0x1602, 4},
      {0x1600, 0}}},
    {"LightModelValues", rules::LightModelValues,
     {{0x0B50, 0}, {0x0B51, 1}, {0x0B52, 1}, {0x0B53, 4}, {0x0B54, 0}, {0x81F8, 1}}},
    {"MaterialValues", rules::MaterialValues,
     {{0x1200, 4}, {0x1203, 4}, {0x1204, 0}, {0x1600, 4}, {0x1601, 1}, {0x1602, 4}, {0x1603, 3}, {0x1604, 0}}},
    {"FogValues", rules::FogValues,
     {{0x0B60, 0}, {0x0B61, 1}, {0x0B65, 1}, {0x0B66, 4}, {0x0B67, 0}, {0x8450, 1}}},
    {"TexParameterValues", rules::TexParameterValues,
     {{0x1004, 4}, {0x27FF, 0}, {0x2800, 1}, {0x2803, 1}, {0x2804, 0}, {0x8066, 1}, {0x8072, 1}, {0x80BF, 1},
      {0x8146, 1}, {0x84FE, 1}, {0x884C, 1}, {0x884D, 1}, {0x8E46, 0}}},
    {"TexGenValues", rules::TexGenValues, {{0x2500, 1}, {0x2501, 4}, {0x2502, 4}, {0x2503, 0}}},
    {"TexEnvValues of the texture environment", TexEnvOf,
     {{0x2201, 4}, {0x2200, 1}, {0x0D1C, 1}, {0x8570, 0}, {0x8571, 1}, {0x8573, 1}, {0x8574, 0}, {0x8580, 1},
      {0x8582, 1}, {0x8583, 0}, {0x8588, 1}, {0x858A, 1}, {0x8590, 1}, {0x8592, 1}, {0x8598, 1}, {0x859A, 1},
      {0x859B, 0}, {0x8862, 1}}},
    {"PointParameterValues", rules::PointParameterValues, {{0x8125, 0}, {0x8126, 1}, {0x8128, 1}, {0x8129, 3}, {0x812A, 0}}},
    {"ColorTableParameterValues", rules::ColorTableParameterValues, {{0x80D6, 4}, {0x80D7, 4}, {0x80D8, 0}}},
    {"CombinerParameterValues", rules::CombinerParameterValues,
     {{0x852A, 4}, {0x852B, 4}, {0x854E, 1}, {0x854F, 1}, {0x8550, 0}}},
    {"ConvolutionParameterValues", rules::ConvolutionParameterValues, {{0x8013, 1}, {0x8014, 4}, {0x8015, 4}, {0x8016, 0}}},
    {"ImageTransformParameterValues", rules::ImageTransformParameterValues, {{0x8154, 0}, {0x8155, 1}, {0x815E, 1}, {0x815F, 0}}},
    {"ListParameterValues", rules::ListParameterValues, {{0x8182, 1}, {0x8183, 0}}},
    {"SpriteParameterValues", rules::SpriteParameterValues, {{0x8149, 1}, {0x814A, 3}, {0x814B, 3}, {0x814C, 0}}},
    {"TexBumpParameterValues", rules::TexBumpParameterValues, {{0x8775, 4}, {0x8776, 0}}},
};

}  // namespace

TEST(SizeRules, EveryTableGivesItsValuesAndNothingOutsideIt) {
    for (const Table& table : kTables) {
        for (const Entry& entry : table.entries)
            EXPECT_EQ(table.rule(entry.value), entry.expected) << table.name << "(0x" << std::hex << entry.value << ")";
    }
}

TEST(SizeRules, TextureEnvironmentValuesDependOnTheTarget) {
    EXPECT_EQ(rules::TexEnvValues(0x8500, 0x8501), 1u) << "texture filter control: any name";
    EXPECT_EQ(rules::TexEnvValues(0x8500, 0x9999), 1u);
    EXPECT_EQ(rules::TexEnvValues(0x8861, 0x8862), 0u) << "point sprite: no values";
    EXPECT_EQ(rules::TexEnvValues(0x2300, 0x8862), 1u);
    EXPECT_EQ(rules::TexEnvValues(0x0DE1, 0x2201), 0u) << "any other target";
}

TEST(SizeRules, BlocksAreProductsWithoutNegativeCountsOrImpossibleSizes) {
    EXPECT_EQ(rules::BlockBytes(3, 4u, 4u), 48u);
    EXPECT_EQ(rules::BlockBytes(0, 16u), 0u);
    EXPECT_EQ(rules::BlockBytes(-1, 16u), 0u) << "a negative count gives no block";
    EXPECT_EQ(rules::BlockBytes(-2, -8), 0u) << "two negative factors are not a positive size";
    EXPECT_EQ(rules::BlockBytes(0x7FFFFFFF, 1u), 0x7FFFFFFFu);
    EXPECT_EQ(rules::BlockBytes(0x40000000, 4u), 0u) << "beyond what a 32-bit process can hold";
    EXPECT_EQ(rules::BlockBytes(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu), 0u) << "no wrap-around";
    EXPECT_EQ(rules::BlockBytes(std::int64_t{5}, 8u), 40u);

    EXPECT_EQ(rules::StringBytes(static_cast<const char*>(nullptr)), 0u);
    EXPECT_EQ(rules::StringBytes(""), 1u);
    EXPECT_EQ(rules::StringBytes("color"), 6u);

    EXPECT_EQ(rules::Map2Values(3, 2, 6, 5), 30u) << "vstride is the larger: vstride x vorder";
    EXPECT_EQ(rules::Map2Values(4, 2, 4, 5), 20u) << "equal strides take the v side";
    EXPECT_EQ(rules::Map2Values(8, 3, 2, 5), 24u) << "ustride is the larger: ustride x uorder";
    EXPECT_EQ(rules::Map2Values(8, -3, 2, 5), 0u);
}

namespace {

// What the GL reads for an upload, by its own addressing of every pixel: the end of the last byte of
// any pixel, measured from the pixel pointer.
std::uint64_t GLReadEnd(std::int64_t w, std::int64_t h, std::int64_t d, std::uint32_t format, std::uint32_t type,
                        const rules::UnpackState& s) {
    const std::int64_t l = s.rowLength > 0 ? s.rowLength : w;
    const std::int64_t a = s.alignment;
    const std::int64_t imageRows = s.imageHeight > 0 ? s.imageHeight : h;
    std::uint64_t end = 0;
    if (type == 0x1A00) {
        const std::int64_t rowStride = a * ((l + 8 * a - 1) / (8 * a));  // bytes
        for (std::int64_t k = 0; k < d; ++k)
            for (std::int64_t j = 0; j < h; ++j)
                for (std::int64_t i = 0; i < w; ++i) {
                    const std::int64_t bit = s.skipPixels + i;
                    const std::int64_t row = (s.skipImages + k) * rowStride * imageRows + (s.skipRows + j) * rowStride;
                    end = std::max<std::uint64_t>(end, static_cast<std::uint64_t>(row + bit / 8 + 1));
                }
        return end;
    }
    // Packed types are one element of the whole pixel; others one element per component.
    const std::uint32_t packed = rules::BytesPerPixel(type, format);
    const std::int64_t component = rules::TypeSize(type);
    const bool isPacked = packed != component * rules::PixelComponents(format) || packed == component;
    const std::int64_t n = isPacked ? 1 : rules::PixelComponents(format);
    const std::int64_t size = isPacked ? packed : component;
    const std::int64_t rowStride = size >= a ? size * n * l : a * ((size * n * l + a - 1) / a);
    const std::int64_t group = size * n;
    for (std::int64_t k = 0; k < d; ++k)
        for (std::int64_t j = 0; j < h; ++j)
            for (std::int64_t i = 0; i < w; ++i) {
                const std::int64_t at = (s.skipImages + k) * rowStride * imageRows + (s.skipRows + j) * rowStride +
                                        (s.skipPixels + i) * group;
                end = std::max<std::uint64_t>(end, static_cast<std::uint64_t>(at + group));
            }
    return end;
}

rules::UnpackState Unpack(std::int32_t rowLength, std::int32_t alignment, std::int32_t skipPixels,
                          std::int32_t skipRows, std::int32_t imageHeight = 0, std::int32_t skipImages = 0) {
    rules::UnpackState s;
    s.rowLength = rowLength;
    s.alignment = alignment;
    s.skipPixels = skipPixels;
    s.skipRows = skipRows;
    s.imageHeight = imageHeight;
    s.skipImages = skipImages;
    return s;
}

struct Upload {
    std::int32_t w, h;
    std::uint32_t format, type;
};

const Upload kUploads[] = {
    {3, 2, 0x1907, 0x1401},   // RGB bytes: rows of 9
    {5, 3, 0x1908, 0x1401},   // RGBA bytes
    {7, 4, 0x1909, 0x1401},   // luminance bytes: rows of 7
    {3, 3, 0x1907, 0x1403},   // RGB shorts: 2-byte elements
    {5, 2, 0x1907, 0x8363},   // 5_6_5: one 2-byte element a pixel
    {3, 2, 0x80E1, 0x8367},   // BGRA 8_8_8_8_REV
    {3, 2, 0x8227, 0x1406},   // RG floats
    {2, 3, 0x84F9, 0x84FA},   // depth stencil 24_8: 4 bytes a pixel, not 8
    {10, 4, 0x1900, 0x1A00},  // a bitmap
    {3, 5, 0x1901, 0x1A00},   // a stencil bitmap
};

}  // namespace

TEST(SizeRules, UploadsReadExactlyWhatTheGLAddresses) {
    const rules::UnpackState states[] = {
        Unpack(0, 4, 0, 0), Unpack(0, 1, 0, 0), Unpack(0, 2, 0, 0), Unpack(0, 8, 0, 0),
        Unpack(11, 4, 0, 0), Unpack(11, 1, 2, 0), Unpack(0, 4, 1, 0), Unpack(0, 8, 3, 2),
        Unpack(13, 2, 5, 3), Unpack(2, 1, 0, 0),  // a row length below the width: rows overlap
        Unpack(40, 8, 9, 1),
    };
    for (const Upload& u : kUploads)
        for (const rules::UnpackState& s : states) {
            const std::uint64_t gl = GLReadEnd(u.w, u.h, 1, u.format, u.type, s);
            // Rows that start at their first pixel keep the last row's padding, whatever the row length.
            const bool full = s.skipPixels == 0;
            // Such an image reads as far as one more row would start: h whole rows after the skip
            // (or further where rows shorter than the width overlap).
            const std::uint64_t expected =
                full ? std::max(gl, GLReadEnd(u.w, u.h + 1, 1, u.format, u.type, s) -
                                        GLReadEnd(u.w, 1, 1, u.format, u.type, {}))
                     : gl;
            EXPECT_EQ(rules::UnpackBytes2D(u.w, u.h, u.format, u.type, s), expected)
                << u.w << "x" << u.h << " format 0x" << std::hex << u.format << " type 0x" << u.type << std::dec
                << " row length " << s.rowLength << " alignment " << s.alignment << " skip pixels " << s.skipPixels
                << " skip rows " << s.skipRows;
            if (u.type == 0x1A00) continue;
            // One row is an image of height 1, skip rows included; three dimensions add skip images
            // and image height.
            EXPECT_EQ(rules::UnpackBytes1D(u.w, u.format, u.type, s), GLReadEnd(u.w, 1, 1, u.format, u.type, s));
            for (const auto& [imageHeight, skipImages] : {std::pair{0, 0}, std::pair{5, 0}, std::pair{0, 2}}) {
                rules::UnpackState volume = s;
                volume.imageHeight = imageHeight;
                volume.skipImages = skipImages;
                EXPECT_EQ(rules::UnpackBytes3D(u.w, u.h, 3, u.format, u.type, volume),
                          GLReadEnd(u.w, u.h, 3, u.format, u.type, volume))
                    << "image height " << imageHeight << " skip images " << skipImages;
            }
        }
}

TEST(SizeRules, UploadSizesOfTheCommonCases) {
    const rules::UnpackState defaults;
    EXPECT_EQ(rules::UnpackBytes2D(3, 2, 0x1907, 0x1401, defaults), 24u) << "rows of 9 padded to 12";
    EXPECT_EQ(rules::UnpackBytes2D(3, 2, 0x1907, 0x1401, Unpack(0, 1, 0, 0)), 18u);
    EXPECT_EQ(rules::UnpackBytes2D(3, 2, 0x1907, 0x1401, Unpack(0, 4, 1, 0)), 3u + 9u + 12u);
    EXPECT_EQ(rules::UnpackBytes2D(3, 2, 0x1907, 0x1401, Unpack(5, 4, 0, 0)), 32u) << "rows of 15 padded to 16";
    EXPECT_EQ(rules::UnpackBytes2D(10, 4, 0x1900, 0x1A00, defaults), 16u) << "bitmap rows of 10 bits in 4 bytes";
    EXPECT_EQ(rules::UnpackBytes2D(32, 32, 0x1900, 0x1A00, defaults), 128u) << "a polygon stipple";
    EXPECT_EQ(rules::UnpackBytes2D(0, 4, 0x1908, 0x1401, defaults), 0u);
    EXPECT_EQ(rules::UnpackBytes2D(4, 4, 0x1908, 0x9999, defaults), 0u) << "a type outside the tables";
    EXPECT_EQ(rules::UnpackBytes2D(4, -1, 0x1908, 0x1401, defaults), 0u);
    EXPECT_EQ(rules::UnpackBytes1D(5, 0x1907, 0x1401, defaults), 15u);
    EXPECT_EQ(rules::UnpackBytes3D(2, 2, 2, 0x1908, 0x1401, defaults), 32u);
    EXPECT_EQ(rules::UnpackBytes2D(0x10000, 0x10000, 0x1908, 0x1406, defaults), 0u) << "beyond a 32-bit process";
    // Pixel-store products that wrap 64 bits: skip rows of 2^34-byte rows, images of 2^30 such rows.
    EXPECT_EQ(rules::UnpackBytes2D(1, 1, 0x1908, 0x1406, Unpack(1 << 30, 4, 1, 1 << 30)), 0u);
    EXPECT_EQ(rules::UnpackBytes3D(1, 1, 1, 0x1908, 0x1406, Unpack(1 << 30, 4, 1, 0, 1 << 30, 1 << 30)), 0u);

    EXPECT_EQ(rules::BytesPerPixel(0x1401, 0x1907), 3u);
    EXPECT_EQ(rules::BytesPerPixel(0x1406, 0x1908), 16u);
    EXPECT_EQ(rules::BytesPerPixel(0x8032, 0x1907), 1u);
    EXPECT_EQ(rules::BytesPerPixel(0x8363, 0x1907), 2u);
    EXPECT_EQ(rules::BytesPerPixel(0x8367, 0x80E1), 4u);
    EXPECT_EQ(rules::BytesPerPixel(0x84FA, 0x84F9), 4u) << "24_8 is one packed value";
    EXPECT_EQ(rules::BytesPerPixel(0x8C3B, 0x1907), 4u);
    EXPECT_EQ(rules::BytesPerPixel(0x8DAD, 0x84F9), 8u);
    EXPECT_EQ(rules::BytesPerPixel(0x1401, 0x8228), 2u) << "RG integer: two components";
    EXPECT_EQ(rules::BytesPerPixel(0x8C3E, 0x1907), 4u) << "shared exponent: one packed value";
    EXPECT_EQ(rules::BytesPerPixel(0x1401, 0x8229), 0u) << "a format outside the components table";

    for (std::uint32_t proxy : {0x8063u, 0x8064u, 0x84F7u, 0x8070u, 0x851Bu, 0x8C19u, 0x8C1Bu, 0x900Bu})
        EXPECT_TRUE(rules::IsProxyTarget(proxy)) << std::hex << proxy;
    for (std::uint32_t target : {0x0DE0u, 0x0DE1u, 0x806Fu, 0x84F5u, 0x8513u, 0x8515u, 0x8C18u, 0x8C1Au, 0x9009u})
        EXPECT_FALSE(rules::IsProxyTarget(target)) << std::hex << target;
}

// Element sizes of client arrays: GL_BGRA is four components, a packed type one 4-byte value, and a
// size the GL refuses none.
TEST(SizeRules, ElementBytesTakeBgraAndPackedTypesAsTheGLDoes) {
    const struct {
        std::int32_t size;
        std::uint32_t type, expected;
    } cases[] = {
        {3, 0x1406, 12}, {4, 0x1401, 4},  {0x80E1, 0x1401, 4}, {0x80E1, 0x8368, 4}, {4, 0x8368, 4},
        {4, 0x8D9F, 4},  {3, 0x8C3B, 4},  {1, 0x140A, 8},      {0, 0x1406, 0},      {5, 0x1406, 0},
        {-1, 0x1406, 0}, {2, 0x9999, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rules::ElementBytes(c.size, c.type), c.expected) << std::hex << c.size << " " << c.type;
}

// The last row's padding is part of the recorded block but not of what the GL reads.
TEST(SizeRules, PaddingOfTheLastRowIsWhatTheGLDoesNotRead) {
    rules::UnpackState defaults;
    rules::UnpackState skip;
    skip.skipPixels = 1;
    rules::UnpackState longRows;
    longRows.rowLength = 8;
    rules::UnpackState rowsOf5;
    rowsOf5.rowLength = 5;
    rules::UnpackState rowsOf2;
    rowsOf2.rowLength = 2;
    const struct {
        std::int32_t width, height;
        std::uint32_t format, type;
        rules::UnpackState unpack;
        std::uint32_t bytes, padding;
    } cases[] = {
        {3, 3, 0x1907, 0x1401, defaults, 36, 3},  // rows of 9 bytes aligned to 12
        {4, 2, 0x1908, 0x1401, defaults, 32, 0},  // rows already aligned
        {3, 3, 0x1907, 0x1401, skip, 36, 0},      // skipped pixels: the last row ends where the GL stops
        {3, 2, 0x1907, 0x1401, longRows, 48, 15}, // a row length above the width: whole rows of 24
        {3, 2, 0x1907, 0x1401, rowsOf5, 32, 7},   // rows of 15 bytes aligned to 16
        {3, 2, 0x1907, 0x1401, rowsOf2, 17, 0},   // rows shorter than the width: the GL reads past the last
        {10, 1, 0x1900, 0x1A00, defaults, 4, 2},  // a bitmap row of 2 bytes aligned to 4
        {0, 3, 0x1907, 0x1401, defaults, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rules::UnpackBytes2D(c.width, c.height, c.format, c.type, c.unpack), c.bytes) << c.width;
        EXPECT_EQ(rules::UnpackPadding2D(c.width, c.height, c.format, c.type, c.unpack), c.padding) << c.width;
    }
}

TEST(SizeRules, ClearValuesByBuffer) {
    const Entry entries[] = {{0x1800, 4}, {0x1801, 1}, {0x1802, 1}, {0x1803, 0}, {0x0403, 0}, {0x0404, 4},
                             {0x0408, 4}, {0x0409, 0}, {0x84F9, 0}};
    for (const Entry& e : entries) EXPECT_EQ(rules::ClearValueCount(e.value), e.expected) << std::hex << e.value;
}
