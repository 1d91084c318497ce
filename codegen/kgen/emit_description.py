"""The description of every record for capture readers: each API id's name and the fields of its
fixed part, its data block, the alias numbers, and the names of GLenum values. Built from the same
layouts as the recorders."""

from .cpp import BANNER, c_string

KINDS = ["SignedInt", "UnsignedInt", "Enum", "Bitfield", "Boolean", "Float", "Double", "Half", "Char",
         "Pointer", "Handle", "Bytes"]


def emit_header(api):
    own = [f for f in api.functions if not f.is_alias]
    return "\n".join([
        BANNER,
        "// What the payload of every API id holds, for programs that read a capture.",
        "#pragma once",
        "#include <cstdint>",
        "",
        "namespace kestrel::description {",
        "",
        f"enum class ValueKind : std::uint8_t {{ {', '.join(KINDS)} }};",
        "",
        "// One field of a fixed part, at its offset and width in a 32-bit capture, in payload order. A",
        "// pointer-sized field is 8 bytes wide in a 64-bit capture and moves the fields after it by 4:",
        "// readers place fields with controller/reading/PayloadLayout.h, never by offset alone.",
        "struct FieldDescription {",
        "    const char* name;     // the parameter's name, or \"result\" for the result",
        "    ValueKind kind;",
        "    std::uint8_t width;   // bytes of one value",
        "    std::uint8_t count;   // values: more than 1 for the values of a fixed-count vector form",
        "    bool isResult;",
        "    std::uint16_t offset;",
        "    std::int8_t parameter;  // its position among the function's parameters; -1 for the result",
        "    bool pointerSized;    // a pointer, handle or pointer-sized integer: as wide as the process's pointers",
        "};",
        "",
        "// The data that follows the fixed part; its size is the payload size less the fixed part's.",
        "struct BlockDescription {",
        "    const char* source;    // the pointer parameter the data was read from",
        "    std::int8_t parameter;  // its position among the function's parameters",
        "    ValueKind elementKind;",
        "    std::uint8_t elementWidth;",
        "    const char* sizeRule;  // how the recorder sized it, in parameters and glrecord/SizeRules.h",
        "};",
        "",
        "struct ApiDescription {",
        "    std::uint32_t apiId;",
        "    const char* name;",
        "    const FieldDescription* fields;",
        "    std::uint16_t fieldCount;",
        "    std::uint16_t fixedSize;",
        "    const BlockDescription* block;  // null when the fixed part is the whole payload",
        "    std::uint8_t pointerFields;  // pointer-sized fields of the fixed part (fixedSize is a 32-bit capture's)",
        "};",
        "",
        "// An entry point that records under another's id, announced by an alias marker record.",
        "struct AliasDescription {",
        "    std::uint32_t number;",
        "    const char* name;",
        "    std::uint32_t targetApiId;",
        "};",
        "",
        f"constexpr unsigned kApiCount = {len(own)};",
        f"constexpr unsigned kAliasCount = {len(api.functions) - len(own)};",
        "extern const ApiDescription kApis[kApiCount];        // in id order",
        "extern const AliasDescription kAliases[kAliasCount];  // by alias number",
        "",
        "// Null when no entry point has that id or alias number.",
        "const ApiDescription* FindApi(std::uint32_t apiId);",
        "const AliasDescription* FindAlias(std::uint32_t number);",
        "const char* ValueKindName(ValueKind kind);",
        "",
        "}  // namespace kestrel::description",
        ""])


def emit_source(api):
    own = sorted((f for f in api.functions if not f.is_alias), key=lambda f: f.api_id)
    aliases = sorted((f for f in api.functions if f.is_alias), key=lambda f: f.alias_number)
    out = [BANNER,
           '#include "gen/ApiDescription.h"',
           "",
           "#include <algorithm>",
           "",
           "namespace kestrel::description {",
           "",
           "namespace {",
           "using K = ValueKind;",
           "",
           "const FieldDescription kFields[] = {"]
    first_field, count = {}, 0
    for f in own:
        first_field[f.name] = count
        for field in f.layout.fields:
            out.append(f"    {{{c_string(field.name)}, K::{field.kind}, {field.width}, {field.count}, "
                       f"{'true' if field.is_result else 'false'}, {field.offset}, {field.parameter}, "
                       f"{'true' if field.pointer_sized else 'false'}}},")
            count += 1
    if not count:
        out.append("    {}")
    out += ["};", "", "const BlockDescription kBlocks[] = {"]
    block_index = {}
    for f in own:
        block = f.layout.block
        if block:
            block_index[f.name] = len(block_index)
            out.append(f"    {{{c_string(block.source.name)}, {block.parameter}, K::{block.element_kind}, "
                       f"{block.element_width}, {c_string(block.text)}}},")
    out += ["};", "}  // namespace", "", "const ApiDescription kApis[kApiCount] = {"]
    for f in own:
        block = f"&kBlocks[{block_index[f.name]}]" if f.name in block_index else "nullptr"
        out.append(f"    {{0x{f.api_id:08X}u, {c_string(f.name)}, kFields + {first_field[f.name]}, "
                   f"{len(f.layout.fields)}, {f.layout.fixed_size}, {block}, {f.layout.pointer_fields}}},")
    out += ["};", "", "const AliasDescription kAliases[kAliasCount] = {"]
    for f in aliases:
        out.append(f"    {{{f.alias_number}u, {c_string(f.name)}, 0x{f.api_id:08X}u}},")
    out += ["};",
            "",
            "const ApiDescription* FindApi(std::uint32_t apiId) {",
            "    const ApiDescription* end = kApis + kApiCount;",
            "    const ApiDescription* at = std::lower_bound(kApis, end, apiId,",
            "        [](const ApiDescription& api, std::uint32_t id) { return api.apiId < id; });",
            "    return at != end && at->apiId == apiId ? at : nullptr;",
            "}",
            "",
            "const AliasDescription* FindAlias(std::uint32_t number) {",
            "    return number < kAliasCount ? &kAliases[number] : nullptr;",
            "}",
            "",
            "const char* ValueKindName(ValueKind kind) {",
            "    switch (kind) {"]
    out += [f"    case K::{kind}: return {c_string(kind)};" for kind in KINDS]
    out += ["    }",
            "    return \"?\";",
            "}",
            "",
            "}  // namespace kestrel::description",
            ""]
    return "\n".join(out)


def emit_enum_header(names):
    return "\n".join([
        BANNER,
        "// The names of GLenum values from the Khronos registry, one per value.",
        "#pragma once",
        "#include <cstdint>",
        "",
        "namespace kestrel::description {",
        "",
        "struct EnumName {",
        "    std::uint32_t value;",
        "    const char* name;",
        "};",
        "",
        f"constexpr unsigned kEnumNameCount = {len(names)};",
        "extern const EnumName kEnumNames[kEnumNameCount];  // by value",
        "",
        "// The core name of a value where it has one; null for a value the registry does not name.",
        "const char* FindEnumName(std::uint32_t value);",
        "",
        "}  // namespace kestrel::description",
        ""])


def emit_enum_source(names):
    out = [BANNER,
           '#include "gen/EnumNames.h"',
           "",
           "#include <algorithm>",
           "",
           "namespace kestrel::description {",
           "",
           "const EnumName kEnumNames[kEnumNameCount] = {"]
    out += [f"    {{0x{value:X}u, {c_string(name)}}}," for value, name in names]
    out += ["};",
            "",
            "const char* FindEnumName(std::uint32_t value) {",
            "    const EnumName* end = kEnumNames + kEnumNameCount;",
            "    const EnumName* at = std::lower_bound(kEnumNames, end, value,",
            "        [](const EnumName& entry, std::uint32_t v) { return entry.value < v; });",
            "    return at != end && at->value == value ? at->name : nullptr;",
            "}",
            "",
            "}  // namespace kestrel::description",
            ""]
    return "\n".join(out)
