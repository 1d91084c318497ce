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
        "// A value that is an enum only while another field of its record (a parameter name) holds one",
        "// of these values; otherwise it is shown by its kind.",
        "struct EnumWhen {",
        "    std::uint8_t selector;  // index of that field among the record's fields",
        "    std::uint8_t count;",
        "    const std::uint32_t* values;  // ascending",
        "};",
        "",
        "// One field of a fixed part, at its offset and width in a 32-bit capture, in payload order. A",
        "// pointer-sized field is 8 bytes wide in a 64-bit capture and moves the fields after it by 4:",
        "// readers place fields with controller/reading/PayloadLayout.h, never by offset alone.",
        "struct FieldDescription {",
        "    const char* name;     // the parameter's name, \"result\", a value the recorder adds, or",
        "                          // \"<parameter>.<member>\" for a structure recorded in its pointer's place",
        "    ValueKind kind;",
        "    std::uint8_t width;   // bytes of one value",
        "    std::uint8_t count;   // values: more than 1 for the values of a fixed-count vector form",
        "    bool isResult;",
        "    std::uint16_t offset;",
        "    std::int8_t parameter;  // its position among the function's parameters; -1 for the result and",
        "                            // for a value the recorder adds",
        "    const EnumWhen* enumWhen;  // null: always its kind",
        "    bool pointerSized;    // a pointer, handle or pointer-sized integer: as wide as the process's pointers",
        "};",
        "",
        "// How a block's size is found: the rest of the payload, a number of bytes, or a field's value",
        "// times a number of bytes. A block of a record that ends early is cut short, down to nothing.",
        "enum class BlockSize : std::uint8_t { Rest, Bytes, Field };",
        "",
        "// Data that follows the fixed part, block after block.",
        "struct BlockDescription {",
        "    const char* source;    // the pointer parameter the data was read from, or what it is",
        "    std::int8_t parameter;  // its position among the function's parameters; -1 when none",
        "    ValueKind elementKind;",
        "    std::uint8_t elementWidth;",
        "    const char* sizeRule;  // how the recorder sized it, in parameters and glrecord/SizeRules.h",
        "    BlockSize size;",
        "    std::uint32_t bytes;   // Bytes: the size; Field: bytes per unit of the field's value",
        "    std::int8_t sizeField;  // Field: the field's index",
        "    std::int8_t whenField;  // present only when this field is not zero; -1: always",
        "    const EnumWhen* enumWhen;",
        "};",
        "",
        "struct ApiDescription {",
        "    std::uint32_t apiId;",
        "    const char* name;",
        "    const FieldDescription* fields;",
        "    std::uint16_t fieldCount;",
        "    std::uint16_t fixedSize;",
        "    const BlockDescription* block;  // the first block; null when the fixed part is the whole payload",
        "    std::uint8_t blockCount;",
        "    std::uint8_t pointerFields;  // pointer-sized fields of the fixed part (fixedSize is a 32-bit capture's)",
        "};",
        "",
        "// An entry point that records under another's id, announced by an alias marker record.",
        "struct AliasDescription {",
        "    std::uint32_t number;",
        "    const char* name;",
        "    std::uint32_t targetApiId;",
        "    // The target's fields, named and kinded by the alias's own parameters; null when they are the",
        "    // target's own. Offsets, widths and blocks are always the target's.",
        "    const FieldDescription* fields;",
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
        "// The fields to show a record by: the alias's own where it has them.",
        "const FieldDescription* FieldsOf(const ApiDescription& api, const AliasDescription* alias);",
        "",
        "}  // namespace kestrel::description",
        ""])


def _field_line(field, enum_index):
    enum = f"&kEnumWhens[{enum_index[id(field)]}]" if id(field) in enum_index else "nullptr"
    return (f"    {{{c_string(field.name)}, K::{field.kind}, {field.width}, {field.count}, "
            f"{'true' if field.is_result else 'false'}, {field.offset}, {field.parameter}, {enum}, "
            f"{'true' if field.pointer_sized else 'false'}}},")


def emit_source(api, alias_fields):
    """alias_fields: alias name -> its own fields, for the aliases whose fields differ from the target's."""
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
           ""]
    # The value lists of the enum rules, shared, then one EnumWhen per field or block that has one.
    items = [x for f in own for x in f.layout.fields + f.layout.blocks] + \
        [x for fields in alias_fields.values() for x in fields]
    lists, when_of, whens = {}, {}, []
    for item in items:
        if item.enum_when is None:
            continue
        selector, values = item.enum_when
        key = tuple(values)
        if key not in lists:
            lists[key] = len(lists)
        when = (selector, lists[key], len(values))
        if when not in when_of:
            when_of[when] = len(whens)
            whens.append(when)
    enum_index = {id(x): when_of[(x.enum_when[0], lists[tuple(x.enum_when[1])], len(x.enum_when[1]))]
                  for x in items if x.enum_when is not None}
    for values, n in lists.items():
        out.append(f"const std::uint32_t kEnumValues{n}[] = {{{', '.join(f'0x{v:X}u' for v in values)}}};")
    out.append("const EnumWhen kEnumWhens[] = {")
    out += [f"    {{{selector}, {count}, kEnumValues{n}}}," for selector, n, count in whens] or ["    {}"]
    out += ["};", "", "const FieldDescription kFields[] = {"]
    first_field, count = {}, 0
    for f in own:
        first_field[f.name] = count
        for field in f.layout.fields:
            out.append(_field_line(field, enum_index))
            count += 1
    alias_first = {}
    for f in aliases:
        if f.name in alias_fields:
            alias_first[f.name] = count
            for field in alias_fields[f.name]:
                out.append(_field_line(field, enum_index))
                count += 1
    if not count:
        out.append("    {}")
    out += ["};", "", "const BlockDescription kBlocks[] = {"]
    first_block = {f.name: None for f in own}
    n = 0
    for f in own:
        if not f.layout.blocks:
            continue
        first_block[f.name] = n
        for b in f.layout.blocks:
            enum = f"&kEnumWhens[{enum_index[id(b)]}]" if id(b) in enum_index else "nullptr"
            out.append(f"    {{{c_string(b.name)}, {b.parameter}, K::{b.kind}, {b.width}, {c_string(b.text)}, "
                       f"BlockSize::{b.size.capitalize()}, {b.bytes}u, {b.field}, {b.when}, {enum}}},")
            n += 1
    if not n:
        out.append("    {}")
    out += ["};", "}  // namespace", "", "const ApiDescription kApis[kApiCount] = {"]
    for f in own:
        block = f"&kBlocks[{first_block[f.name]}]" if first_block[f.name] is not None else "nullptr"
        out.append(f"    {{0x{f.api_id:08X}u, {c_string(f.name)}, kFields + {first_field[f.name]}, "
                   f"{len(f.layout.fields)}, {f.layout.fixed_size}, {block}, {len(f.layout.blocks)}, "
                   f"{f.layout.pointer_fields}}},")
    out += ["};", "", "const AliasDescription kAliases[kAliasCount] = {"]
    for f in aliases:
        fields = f"kFields + {alias_first[f.name]}" if f.name in alias_first else "nullptr"
        out.append(f"    {{{f.alias_number}u, {c_string(f.name)}, 0x{f.api_id:08X}u, {fields}}},")
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
            "const FieldDescription* FieldsOf(const ApiDescription& api, const AliasDescription* alias) {",
            "    return alias && alias->fields && alias->targetApiId == api.apiId ? alias->fields : api.fields;",
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
