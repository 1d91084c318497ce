// The record description that capture readers use: complete, consistent in itself, and laid out as
// the recorders lay out their payloads.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gen/ApiDescription.h"
#include "gen/EnumNames.h"

namespace description = kestrel::description;
using description::ValueKind;

TEST(ApiDescription, EveryIdIsDescribedOnceWithContiguousFields) {
    ASSERT_EQ(description::kApiCount, 2416u);
    std::uint32_t previous = 0;
    for (const description::ApiDescription& api : description::kApis) {
        EXPECT_GT(api.apiId, previous) << api.name << ": ids in order, each once";
        previous = api.apiId;
        EXPECT_EQ(description::FindApi(api.apiId), &api) << api.name;
        std::uint32_t offset = 0;
        int parameter = -1;
        for (std::uint16_t i = 0; i < api.fieldCount; ++i) {
            const description::FieldDescription& field = api.fields[i];
            EXPECT_EQ(field.offset, offset) << api.name << "." << field.name << ": packed, no padding";
            EXPECT_TRUE(field.width == 1 || field.width == 2 || field.width == 4 || field.width == 8) << api.name;
            EXPECT_GE(field.count, 1) << api.name;
            if (field.isResult) {
                EXPECT_EQ(field.parameter, -1) << api.name;
                EXPECT_EQ(i + 1, api.fieldCount) << api.name << ": the result comes last";
            } else {
                EXPECT_GT(field.parameter, parameter) << api.name << "." << field.name << ": in parameter order";
                parameter = field.parameter;
            }
            offset += field.width * field.count;
        }
        EXPECT_EQ(offset, api.fixedSize) << api.name;
        if (api.block) {
            EXPECT_GE(api.block->parameter, 0) << api.name;
        }
    }
    EXPECT_EQ(description::FindApi(0x4000012Cu), nullptr) << "an id of no function";
    EXPECT_EQ(description::FindApi(0x3FFFFFFFu), nullptr);
}

TEST(ApiDescription, AliasesNameTheirTargets) {
    ASSERT_EQ(description::kAliasCount, 379u);
    for (std::uint32_t n = 0; n < description::kAliasCount; ++n) {
        const description::AliasDescription* alias = description::FindAlias(n);
        ASSERT_NE(alias, nullptr);
        EXPECT_EQ(alias->number, n);
        EXPECT_NE(description::FindApi(alias->targetApiId), nullptr) << alias->name;
    }
    EXPECT_EQ(description::FindAlias(379), nullptr);
    const description::AliasDescription* beginQuery = description::FindAlias(275);
    EXPECT_STREQ(beginQuery->name, "glBeginQuery");
    EXPECT_EQ(beginQuery->targetApiId, 0x40000214u);
    EXPECT_STREQ(description::FindApi(0x40000214u)->name, "glBeginQueryARB");
}

namespace {
struct FieldExpectation {
    const char* name;
    ValueKind kind;
    int width, count;
    bool isResult;
};

struct LayoutCase {
    const char* function;
    std::vector<FieldExpectation> fields;
    const char* blockSource;  // null: no data block
    ValueKind blockKind;
    int blockWidth;
};

const std::vector<LayoutCase> kLayouts = {
    {"glAccum", {{"op", ValueKind::Enum, 4, 1, false}, {"value", ValueKind::Float, 4, 1, false}}, nullptr, {}, 0},
    {"glIsEnabled", {{"cap", ValueKind::Enum, 4, 1, false}, {"result", ValueKind::Boolean, 1, 1, true}}, nullptr, {}, 0},
    {"glGetError", {{"result", ValueKind::Enum, 4, 1, true}}, nullptr, {}, 0},
    {"glGetTextureHandleNV",
     {{"texture", ValueKind::UnsignedInt, 4, 1, false}, {"result", ValueKind::UnsignedInt, 8, 1, true}}, nullptr, {}, 0},
    {"glColor3b", {{"red", ValueKind::SignedInt, 1, 1, false}, {"green", ValueKind::SignedInt, 1, 1, false},
                   {"blue", ValueKind::SignedInt, 1, 1, false}}, nullptr, {}, 0},
    {"glColor3fv", {{"v", ValueKind::Float, 4, 3, false}}, nullptr, {}, 0},
    {"glClipPlane", {{"plane", ValueKind::Enum, 4, 1, false}, {"equation", ValueKind::Double, 8, 4, false}}, nullptr, {}, 0},
    {"glVertexAttribL1i64vNV", {{"index", ValueKind::UnsignedInt, 4, 1, false}, {"v", ValueKind::Pointer, 4, 1, false}},
     nullptr, {}, 0},
    {"glUniform4fvARB", {{"location", ValueKind::SignedInt, 4, 1, false}, {"count", ValueKind::SignedInt, 4, 1, false},
                         {"value", ValueKind::Pointer, 4, 1, false}}, "value", ValueKind::Float, 4},
    {"glGenTextures", {{"n", ValueKind::SignedInt, 4, 1, false}, {"textures", ValueKind::Pointer, 4, 1, false}},
     "textures", ValueKind::UnsignedInt, 4},
    {"glCallLists", {{"n", ValueKind::SignedInt, 4, 1, false}, {"type", ValueKind::Enum, 4, 1, false},
                     {"lists", ValueKind::Pointer, 4, 1, false}}, "lists", ValueKind::Bytes, 1},
    {"wglGetProcAddress", {{"result", ValueKind::Pointer, 4, 1, true}}, "lpszProc", ValueKind::Char, 1},
};
}  // namespace

TEST(ApiDescription, FieldsAndBlocksAreThoseTheRecordersWrite) {
    for (const LayoutCase& c : kLayouts) {
        const description::ApiDescription* api = nullptr;
        for (const description::ApiDescription& a : description::kApis)
            if (std::strcmp(a.name, c.function) == 0) api = &a;
        ASSERT_NE(api, nullptr) << c.function;
        ASSERT_EQ(api->fieldCount, c.fields.size()) << c.function;
        for (std::size_t i = 0; i < c.fields.size(); ++i) {
            const description::FieldDescription& got = api->fields[i];
            const FieldExpectation& want = c.fields[i];
            EXPECT_STREQ(got.name, want.name) << c.function;
            EXPECT_EQ(got.kind, want.kind) << c.function << "." << want.name << " is "
                                           << description::ValueKindName(got.kind);
            EXPECT_EQ(got.width, want.width) << c.function << "." << want.name;
            EXPECT_EQ(got.count, want.count) << c.function << "." << want.name;
            EXPECT_EQ(got.isResult, want.isResult) << c.function << "." << want.name;
        }
        if (!c.blockSource) {
            EXPECT_EQ(api->block, nullptr) << c.function;
            continue;
        }
        ASSERT_NE(api->block, nullptr) << c.function;
        EXPECT_STREQ(api->block->source, c.blockSource) << c.function;
        EXPECT_EQ(api->block->elementKind, c.blockKind) << c.function;
        EXPECT_EQ(api->block->elementWidth, c.blockWidth) << c.function;
        EXPECT_NE(std::strlen(api->block->sizeRule), 0u) << c.function;
    }
}

TEST(EnumNames, OneNamePerValuePreferringTheCoreName) {
    std::uint32_t previous = 0;
    for (std::uint32_t i = 0; i < description::kEnumNameCount; ++i) {
        if (i) {
            EXPECT_GT(description::kEnumNames[i].value, previous) << description::kEnumNames[i].name;
        }
        previous = description::kEnumNames[i].value;
    }
    const std::vector<std::pair<std::uint32_t, const char*>> names = {
        {0x0B71, "GL_DEPTH_TEST"},      {0x84C0, "GL_TEXTURE0"},    {0x8862, "GL_COORD_REPLACE"},
        {0x8892, "GL_ARRAY_BUFFER"},    {0x1F00, "GL_VENDOR"},      {0x8E46, "GL_TEXTURE_SWIZZLE_RGBA"},
        {0x8914, "GL_SAMPLES_PASSED"},  {0x8B31, "GL_VERTEX_SHADER"}};
    for (const auto& [value, name] : names) {
        const char* found = description::FindEnumName(value);
        ASSERT_NE(found, nullptr) << std::hex << value;
        EXPECT_STREQ(found, name);
    }
    EXPECT_EQ(description::FindEnumName(0x7FFFFFF0u), nullptr);
}
