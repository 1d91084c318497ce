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
        bool added = false;  // a value a hand-written recorder adds, or the result, came before
        for (std::uint16_t i = 0; i < api.fieldCount; ++i) {
            const description::FieldDescription& field = api.fields[i];
            EXPECT_EQ(field.offset, offset) << api.name << "." << field.name << ": packed, no padding";
            EXPECT_TRUE(field.width == 1 || field.width == 2 || field.width == 4 || field.width == 8) << api.name;
            EXPECT_GE(field.count, 1) << api.name;
            const bool member = std::strchr(field.name, '.') != nullptr;
            if (field.isResult || field.parameter < 0) {
                EXPECT_EQ(field.parameter, -1) << api.name;
                added = true;
            } else if (member && field.parameter == parameter) {
                // the next member of a structure recorded in its pointer's place
            } else {
                EXPECT_GT(field.parameter, parameter) << api.name << "." << field.name << ": in parameter order";
                EXPECT_FALSE(added) << api.name << "." << field.name << ": the parameters come first";
                parameter = field.parameter;
            }
            if (field.enumWhen) {
                EXPECT_LT(field.enumWhen->selector, api.fieldCount) << api.name;
                EXPECT_GT(field.enumWhen->count, 0) << api.name;
            }
            offset += field.width * field.count;
        }
        EXPECT_EQ(offset, api.fixedSize) << api.name;
        unsigned rest = 0;
        for (std::uint8_t i = 0; i < api.blockCount; ++i) {
            const description::BlockDescription& block = api.block[i];
            rest += block.size == description::BlockSize::Rest;
            if (block.size == description::BlockSize::Field) {
                EXPECT_GE(block.sizeField, 0) << api.name;
                EXPECT_LT(block.sizeField, api.fieldCount) << api.name;
            }
            EXPECT_LT(block.whenField, api.fieldCount) << api.name;
            EXPECT_NE(std::strlen(block.sizeRule), 0u) << api.name;
        }
        EXPECT_LE(rest, 1u) << api.name << ": one block at most takes the rest";
        EXPECT_EQ(api.block == nullptr, api.blockCount == 0) << api.name;
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

namespace {
const description::ApiDescription* Named(const char* name) {
    for (const description::ApiDescription& api : description::kApis)
        if (std::strcmp(api.name, name) == 0) return &api;
    return nullptr;
}

const description::FieldDescription* FieldNamed(const description::FieldDescription* fields, unsigned count,
                                                const char* name) {
    for (unsigned i = 0; i < count; ++i)
        if (std::strcmp(fields[i].name, name) == 0) return &fields[i];
    return nullptr;
}

struct HandLaidCase {
    const char* function;
    int fixedSize;
    std::vector<std::pair<const char*, int>> fields;  // some fields by name, at their offsets
    std::vector<std::pair<const char*, description::BlockSize>> blocks;  // every block, in order
};
}  // namespace

// The records of hand-written recorders as they write them: values they add, structures in their
// pointer's place, widths of their own, and blocks one after another.
TEST(ApiDescription, HandWrittenRecordsAreDescribedAsWritten) {
    using S = description::BlockSize;
    const std::vector<HandLaidCase> cases = {
        {"wglChoosePixelFormat", 48, {{"hdc", 0}, {"ppfd.nSize", 4}, {"ppfd.dwFlags", 8}, {"ppfd.cColorBits", 13},
                                      {"ppfd.dwDamageMask", 40}, {"result", 44}}, {}},
        {"wglSetPixelFormat", 52, {{"iPixelFormat", 4}, {"ppfd.nSize", 8}, {"result", 48}}, {}},
        {"wglCreateContext", 28, {{"hDc", 0}, {"result", 4}, {"rect", 8}, {"geometryKind", 24}}, {}},
        {"wglCreateContextAttribsARB", 40, {{"attribList", 8}, {"attribBytes", 12}, {"result", 16}, {"geometryKind", 36}},
         {{"attribList", S::Field}}},
        {"glDebugMessageControlARB", 24, {{"enabled", 20}}, {{"ids", S::Field}}},
        {"glGetProgramBinary", 24, {{"hash", 20}},
         {{"returnedLength", S::Bytes}, {"returnedFormat", S::Bytes}, {"binary", S::Rest}}},
        {"glShaderSourceARB", 16, {{"length", 12}}, {{"length", S::Field}, {"string", S::Rest}}},
        {"glMultiDrawElementsBaseVertex", 24, {{"basevertex", 20}},
         {{"count", S::Field}, {"indices", S::Rest}, {"basevertex", S::Field}}},
        {"glTexImage2D", 36, {{"pixels", 32}}, {{"pixels", S::Rest}}},
        {"glUnmapBufferARB", 5, {{"result", 4}}, {{"mapped", S::Rest}}},
    };
    for (const HandLaidCase& c : cases) {
        SCOPED_TRACE(c.function);
        const description::ApiDescription* api = Named(c.function);
        ASSERT_NE(api, nullptr);
        EXPECT_EQ(api->fixedSize, c.fixedSize);
        for (const auto& [name, offset] : c.fields) {
            const description::FieldDescription* field = FieldNamed(api->fields, api->fieldCount, name);
            ASSERT_NE(field, nullptr) << name;
            EXPECT_EQ(field->offset, offset) << name;
        }
        ASSERT_EQ(api->blockCount, c.blocks.size());
        for (std::size_t i = 0; i < c.blocks.size(); ++i) {
            EXPECT_STREQ(api->block[i].source, c.blocks[i].first);
            EXPECT_EQ(api->block[i].size, c.blocks[i].second) << c.blocks[i].first;
        }
    }
    const description::FieldDescription* rect = FieldNamed(Named("wglCreateContext")->fields, 4, "rect");
    EXPECT_EQ(rect->kind, ValueKind::SignedInt);
    EXPECT_EQ(rect->count, 4);
    EXPECT_EQ(FieldNamed(Named("wglChoosePixelFormat")->fields, 28, "ppfd.dwFlags")->kind, ValueKind::Bitfield);
    EXPECT_EQ(FieldNamed(Named("glDebugMessageControlARB")->fields, 6, "enabled")->width, 4);
}

// An alias's fields are its own parameters' at its target's offsets; enum-valued integers are enums.
TEST(ApiDescription, AliasesAndEnumValuesAreShownByTheirOwnParameters) {
    const description::ApiDescription* target = Named("glGetProgramivARB");
    ASSERT_NE(target, nullptr);
    const description::AliasDescription* alias = nullptr;
    for (const description::AliasDescription& a : description::kAliases)
        if (std::strcmp(a.name, "glGetProgramiv") == 0) alias = &a;
    ASSERT_NE(alias, nullptr);
    const description::FieldDescription* own = description::FieldsOf(*target, alias);
    ASSERT_NE(own, target->fields);
    EXPECT_STREQ(own[0].name, "program");
    EXPECT_EQ(own[0].kind, ValueKind::UnsignedInt);
    EXPECT_EQ(target->fields[0].kind, ValueKind::Enum);
    for (unsigned i = 0; i < target->fieldCount; ++i) {
        EXPECT_EQ(own[i].offset, target->fields[i].offset);
        EXPECT_EQ(own[i].width, target->fields[i].width);
    }
    EXPECT_EQ(description::FieldsOf(*target, nullptr), target->fields);

    EXPECT_EQ(FieldNamed(Named("glTexImage2D")->fields, 9, "internalformat")->kind, ValueKind::Enum);
    const description::FieldDescription* param = FieldNamed(Named("glTexParameteri")->fields, 3, "param");
    ASSERT_NE(param->enumWhen, nullptr);
    EXPECT_STREQ(Named("glTexParameteri")->fields[param->enumWhen->selector].name, "pname");
    EXPECT_NE(FieldNamed(Named("glTexEnvf")->fields, 3, "param")->enumWhen, nullptr);
    EXPECT_NE(Named("glTexParameteriv")->block->enumWhen, nullptr);
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
