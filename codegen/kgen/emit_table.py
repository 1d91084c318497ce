"""The API table in C++: counts, per-function facts, the real-entry slots, the binding order, the
extension lookup list, and every function's index and id by name."""

from .cpp import BANNER, c_string


def emit_header(api):
    out = [BANNER,
           "// Function index order: the functions with ids of their own in id order, then the aliases by",
           "// alias number. The table of real entry points has one slot per function (slot = index), then",
           "// one per pass-through export.",
           "#pragma once",
           "#include <cstdint>",
           "",
           "namespace kestrel {",
           "",
           f"constexpr unsigned kFunctionCount = {len(api.functions)};",
           f"constexpr unsigned kIdFunctionCount = {sum(1 for f in api.functions if not f.is_alias)};",
           f"constexpr unsigned kAliasCount = {sum(1 for f in api.functions if f.is_alias)};",
           f"constexpr unsigned kExtensionCount = {len(api.extensions)};",
           f"constexpr unsigned kBindingCount = {len(api.gl11) + len(api.system_wgl) + len(api.pass_through)};",
           f"constexpr unsigned kRealEntryCount = {api.slot_count};",
           f"constexpr unsigned kExportCount = {api.export_count()};"]
    for export in api.pass_through:
        out.append(f"constexpr unsigned kSlot_{export.name} = {api.slot_of_pass_through(export.name)};")
    out += ["",
            "struct FunctionInfo {",
            "    const char* name;",
            "    std::uint32_t apiId;       // an alias records under its target's id",
            "    std::int32_t aliasNumber;  // -1 unless an alias",
            "    std::uint32_t target;      // index of the function whose recorder runs: its own unless an alias",
            "    std::uint32_t argBytes;    // argument bytes on the stack, the N of _inttrk_<name>@N",
            "};",
            "extern const FunctionInfo kFunctions[kFunctionCount];",
            "",
            "// The system library's exports that binding resolves by name, in binding order.",
            "struct BindingEntry {",
            "    const char* name;",
            "    unsigned slot;",
            "};",
            "extern const BindingEntry kBindingOrder[kBindingCount];",
            "",
            "// The names the extension lookup hands interceptors out for, in lookup order.",
            "struct ExtensionEntry {",
            "    const char* name;",
            "    unsigned function;",
            "    void* interceptor;",
            "};",
            "extern const ExtensionEntry kExtensions[kExtensionCount];",
            "// Positions in kExtensions in byte order of the names, for a binary search.",
            "extern const std::uint16_t kExtensionsByName[kExtensionCount];",
            "",
            "extern \"C\" void* g_realEntries[kRealEntryCount];",
            "",
            "// Function indexes (= real-entry slots) by name.",
            "namespace fn {"]
    out += [f"inline constexpr unsigned {f.name} = {f.index};" for f in api.functions]
    out += ["}  // namespace fn", "",
            "// API ids by name; an alias has its target's.",
            "namespace api {"]
    out += [f"inline constexpr std::uint32_t {f.name} = 0x{f.api_id:08X}u;" for f in api.functions]
    out += ["}  // namespace api", "", "}  // namespace kestrel", ""]
    return "\n".join(out)


def emit_source(api):
    out = [BANNER,
           '#include "gen/ApiTable.h"',
           "",
           "#include <cstdint>",
           "",
           '#include "gen/Interceptors.h"',
           "",
           "namespace kestrel {",
           "",
           "void* g_realEntries[kRealEntryCount] = {};",
           "",
           "const FunctionInfo kFunctions[kFunctionCount] = {"]
    for f in api.functions:
        out.append(f"    {{{c_string(f.name)}, 0x{f.api_id:08X}u, {f.alias_number}, {f.target.index}, {f.arg_bytes}}},")
    out += ["};", "", "const BindingEntry kBindingOrder[kBindingCount] = {"]
    for f in api.gl11 + api.system_wgl:
        out.append(f"    {{{c_string(f.name)}, {f.index}}},")
    for export in api.pass_through:
        out.append(f"    {{{c_string(export.name)}, kSlot_{export.name}}},")
    out += ["};", "", "const ExtensionEntry kExtensions[kExtensionCount] = {"]
    for f in api.extensions:
        out.append(f"    {{{c_string(f.name)}, {f.index}, reinterpret_cast<void*>(&impl_{f.name})}},")
    out += ["};", "", "const std::uint16_t kExtensionsByName[kExtensionCount] = {"]
    by_name = sorted(range(len(api.extensions)), key=lambda i: api.extensions[i].name.encode())
    for start in range(0, len(by_name), 16):
        out.append("    " + " ".join(f"{i}," for i in by_name[start:start + 16]))
    out += ["};", "", "}  // namespace kestrel", "",
            "// The export names' byte counts come from the type table; the types must have those sizes."]
    for info in sorted((api.types.types[name] for name in api.types.used), key=lambda t: t.name):
        if info.stack and info.kind != "void":
            size = "sizeof(void*)" if info.pointer_sized else info.width or info.stack
            out.append(f"static_assert(sizeof({info.cpp}) == {size}, "
                       f"{c_string(info.name + ' has the size of the type table')});")
    out.append("")
    return "\n".join(out)
