// The size rules that the recorder and the capture readers share: every table's entries, the ends
// of its ranges and their neighbours outside, and the block arithmetic.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
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
      {0x190B, 0}, {0x8000, 4}, {0x80E0, 3}, {0x80E1, 4}, {0x8227, 2}, {0x8228, 0}, {0x84F9, 2}, {0x8D93, 0},
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
