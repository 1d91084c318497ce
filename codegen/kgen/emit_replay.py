"""The replay of every recorded call: a function per id that takes its arguments back out of the
record's payload, maps the object names it carries to the replay's own and calls the GL; and the
table that says, for each id, whether generated code, the hand-written replay or nobody re-issues it."""

import re

from .cpp import BANNER, c_string
from .replay_rules import OBJECT_KINDS

_UNIFORM = re.compile(r"^gl(Program)?Uniform")
# Generic vertex attribute indices (not the vendor's own vertex program attributes, ending NV).
_ATTRIBUTE = re.compile(r"^gl(VertexAttrib|EnableVertexAttribArray|DisableVertexAttribArray|VertexArrayAttrib|"
                        r"EnableVertexArrayAttrib|DisableVertexArrayAttrib|VertexArrayVertexAttrib)(?!.*NV$)")


def _at(field):
    """A field's offset in the capture at hand: pointer-sized fields before it widen with the capture's."""
    return f"c_.At({field.offset}, {field.pointers_before})" if field.pointers_before else str(field.offset)


def _read(field, cpp):
    """A field's value: a pointer-sized one at the capture's pointer width, any other at its own."""
    return f"c_.{'Pointer' if field.pointer_sized else 'Value'}<{cpp}>({_at(field)})"


def _role(function, rules):
    name = function.name
    if name in rules.engine:
        return "Engine", ""
    if name in rules.skip:
        return "Skipped", rules.skip[name][0]
    if name in rules.query:
        return "Query", ""
    if name.startswith(("glGet", "glIs", "wglGet")) and name not in rules.call:
        return "Query", ""
    if name.startswith("wgl"):
        return "Skipped", "the replay makes its own device contexts and surfaces"
    fields = {f.parameter for f in function.layout.fields if not f.is_result}
    missing = [p.name for i, p in enumerate(function.params) if i not in fields]
    if missing:
        return "Skipped", f"its record leaves out {', '.join(missing)}"
    return "Generated", ""


def _classes(function, aliases, rules):
    """The object kind of each parameter and of the result: the registry's, its aliases' where the
    registry gives the function none, then this table's."""
    kinds = [p.object_class for p in function.params]
    result = function.result_class
    for alias in aliases:
        for i, p in enumerate(alias.params):
            if not kinds[i] and p.object_class:
                kinds[i] = p.object_class
        result = result or alias.result_class
    for i, p in enumerate(function.params):
        if (function.name, p.name) in rules.classes:
            kinds[i] = rules.classes[(function.name, p.name)][0]
    if (function.name, "result") in rules.classes:
        result = rules.classes[(function.name, "result")][0]
    return [OBJECT_KINDS.get(k, "") for k in kinds], OBJECT_KINDS.get(result, "")


def _replay_function(function, aliases, rules):
    """The body decodes each argument into a local of the parameter's own name, so that the recorder's
    size rule of the data block reads as it does in the recorder, and checks the block against it."""
    kinds, result_kind = _classes(function, aliases, rules)
    layout = function.layout
    by_param = {f.parameter: f for f in layout.fields if not f.is_result}
    data_rule = rules.data.get(function.name)
    program = next((i for i, k in enumerate(kinds) if k == "ShaderObject" and
                    function.params[i].name.lower().startswith("program")), None)
    owner = f"m{program}_" if program is not None else "0u"
    body, checks, args, after = [], [], [], []
    for i, p in enumerate(function.params):
        f = by_param[i]
        kind = kinds[i]
        if f.through_pointer:
            args.append(f"c_.Values<{p.type.pointee.cpp}>({_at(f)})")
            continue
        if not p.type.is_pointer or (kind and p.type.pointer_depth == 0):
            body.append(f"    const auto {p.name} = {_read(f, p.cpp)};")
            if p.name == "location" and _UNIFORM.match(function.name):
                args.append(f"c_.Location({owner}, {p.name})")
            elif p.name in ("index", "attribindex") and _ATTRIBUTE.match(function.name):
                args.append(f"c_.Attribute({p.name})")
            elif kind:
                body.append(f"    const auto m{i}_ = c_.Name<{p.cpp}>(ObjectKind::{kind}, {p.name});")
                args.append(f"m{i}_")
            else:
                args.append(p.name)
            continue
        block = layout.block is not None and layout.block.parameter == i
        ruled = data_rule is not None and data_rule.param == p.name
        output = p.type.pointer_depth >= 1 and not p.type.points_to_const
        if block or ruled or not output:
            body.append(f"    const void* const {p.name} = {_read(f, 'const void*')};")
        binding = f"0x{data_rule.binding:04X}u" if ruled and data_rule.binding else "0u"
        name = c_string(p.name)
        if block and not ruled:
            # The block the recorder wrote must hold what its size rule says the call reads.
            if "StringBytes" in layout.block.cpp_size:
                checks.append(f"c_.HoldsString({p.name}, {name})")
            elif kind:
                checks.append(f"c_.HoldsNames({p.name}, {layout.block.cpp_size}, {name})")
            else:
                checks.append(f"c_.Holds({p.name}, {binding}, {layout.block.cpp_size}, {name})")
        if kind and (block or ruled) and p.type.pointer_depth == 1:
            if output:
                body.append(f"    std::uint32_t* const m{i}_ = c_.Output<std::uint32_t>();")
                after.append(f"    c_.MadeNames(ObjectKind::{kind}, c_.Block(), c_.BlockSize() / 4, m{i}_);")
                args.append(f"reinterpret_cast<{p.cpp}>(m{i}_)")
            else:
                args.append(f"reinterpret_cast<{p.cpp}>(c_.Names(ObjectKind::{kind}, c_.Block(), "
                            f"c_.BlockSize() / 4))")
        elif block or ruled:
            args.append(f"({p.cpp})(c_.Data({p.name}, {binding}))")
        elif output:
            args.append(f"({p.cpp})(c_.Output<void>())")
        else:
            checks.append(f"c_.Unrecorded({p.name}, {name})")
            args.append(f"({p.cpp})(nullptr)")
    types = ", ".join(p.cpp for p in function.params)
    call = f"c_.Entry<{function.result.cpp} (__stdcall*)({types})>()({', '.join(args)})"
    lines = [f"void R_{function.name}(ReplayCall& c_) {{"] + body
    if checks:
        lines.append(f"    if (!({' && '.join(checks)})) return;")
    if result_kind and not function.returns_void:
        result = next(f for f in layout.fields if f.is_result)
        lines.append(f"    const auto r_ = {call};")
        recorded = _read(result, function.result.cpp)
        if result_kind == "Location":
            after.append(f"    c_.MadeLocation({owner}, {recorded}, r_);")
        elif result_kind == "Attribute":
            after.append(f"    c_.MadeAttribute({owner}, {recorded}, r_);")
        elif result_kind == "DisplayList":
            extent = "range" if any(p.name == "range" for p in function.params) else "1"
            after.append(f"    c_.MadeRange(ObjectKind::DisplayList, {recorded}, r_, {extent});")
        else:
            after.append(f"    c_.MadeName(ObjectKind::{result_kind}, {recorded}, r_);")
    else:
        lines.append(f"    {call};")
    return lines + after + ["}"]


def _aliases_of(api):
    aliases = {}
    for f in api.functions:
        if f.is_alias:
            aliases.setdefault(f.target.name, []).append(f)
    return aliases


def emit_functions(api, rules, part, parts):
    own = [f for f in api.functions if not f.is_alias]
    first, last = len(own) * part // parts, len(own) * (part + 1) // parts
    aliases = _aliases_of(api)
    out = [BANNER,
           f"// Replay functions {part + 1} of {parts}: each takes its call's arguments out of the payload,",
           "// maps the object names in them to the replay's and calls the GL through the entry point of the",
           "// name that made the record.",
           "#include <cstdint>",
           "",
           '#include "controller/replay/ReplayCall.h"',
           '#include "glrecord/GLTypes.h"',
           '#include "glrecord/SizeRules.h"',
           "",
           "namespace kestrel::replay::gen {",
           ""]
    for f in own[first:last]:
        if _role(f, rules)[0] == "Generated":
            out += _replay_function(f, aliases.get(f.name, []), rules)
            out.append("")
    out.append("}  // namespace kestrel::replay::gen")
    return "\n".join(out) + "\n"


def emit_table_header():
    return "\n".join([
        BANNER,
        "// How each recorded call is replayed: by generated code, by the replay's own code, or not at all.",
        "#pragma once",
        "#include <cstdint>",
        "",
        "namespace kestrel::replay {",
        "",
        "class ReplayCall;",
        "",
        "enum class ReplayRole : std::uint8_t {",
        "    Generated,  // the generated function re-issues it",
        "    Engine,     // the replay's hand-written code does",
        "    Query,      // it only reads state back: not re-issued",
        "    Skipped,    // a replay cannot re-issue it; `reason` says why",
        "};",
        "",
        "using ReplayFunction = void (*)(ReplayCall& call);",
        "",
        "struct ReplayEntry {",
        "    std::uint32_t apiId;",
        "    const char* name;",
        "    ReplayRole role;",
        "    ReplayFunction replay;  // for Generated only",
        "    const char* reason;     // for Skipped only",
        "};",
        "",
        "// Null when no function has that id.",
        "const ReplayEntry* FindReplayEntry(std::uint32_t apiId);",
        "",
        "}  // namespace kestrel::replay",
        ""])


def emit_table_source(api, rules):
    own = [f for f in api.functions if not f.is_alias]
    own.sort(key=lambda f: f.api_id)
    out = [BANNER,
           "#include <algorithm>",
           "#include <iterator>",
           "",
           '#include "gen/ReplayTable.h"',
           "",
           "namespace kestrel::replay {",
           "namespace gen {"]
    for f in own:
        if _role(f, rules)[0] == "Generated":
            out.append(f"void R_{f.name}(ReplayCall& c);")
    out += ["}  // namespace gen", "", "namespace {", "constexpr ReplayEntry kEntries[] = {"]
    for f in own:
        role, reason = _role(f, rules)
        replay = f"gen::R_{f.name}" if role == "Generated" else "nullptr"
        out.append(f"    {{0x{f.api_id:08X}u, {c_string(f.name)}, ReplayRole::{role}, {replay}, "
                   f"{c_string(reason) if reason else 'nullptr'}}},")
    out += ["};",
            "}  // namespace",
            "",
            "const ReplayEntry* FindReplayEntry(std::uint32_t apiId) {",
            "    const auto* end = std::end(kEntries);",
            "    const auto* found = std::lower_bound(std::begin(kEntries), end, apiId,",
            "        [](const ReplayEntry& entry, std::uint32_t id) { return entry.apiId < id; });",
            "    return found != end && found->apiId == apiId ? found : nullptr;",
            "}",
            "",
            "}  // namespace kestrel::replay",
            ""]
    return "\n".join(out)
