"""The recorders of GLBaseCapturer (declarations and definitions) and the exported interceptors
that call them on the one global capturer."""

from .cpp import BANNER, argument_list, parameter_list, parameter_types, result_type


def emit_declarations(api):
    out = [BANNER,
           "// Included inside class GLBaseCapturer: one recorder per entry point, in function index order;",
           "// those that GLKestrel writes by hand (codegen/overrides.txt) have no generated body."]
    for f in api.functions:
        pure = " = 0" if f.overridden else ""
        out.append(f"virtual {result_type(f)} {f.name}({parameter_list(f)}){pure};")
    return "\n".join(out) + "\n"


def emit_override_declarations(api):
    out = [BANNER,
           "// Included inside class GLKestrel: the hand-written recorders, by the file that holds them."]
    by_file = {}
    for f in api.functions:
        if f.overridden:
            by_file.setdefault(f.override_file, []).append(f)
    for path in sorted(by_file):
        out.append(f"// {path}")
        for f in by_file[path]:
            out.append(f"{result_type(f)} {f.name}({parameter_list(f)}) override;")
    return "\n".join(out) + "\n"


def emit_interceptor_declarations(api):
    out = [BANNER,
           "// The code behind every export name: impl_<name>, stdcall, as the system library's functions.",
           "#pragma once",
           '#include "glrecord/GLTypes.h"',
           "",
           'extern "C" {']
    for f in api.functions:
        out.append(f"{result_type(f)} __stdcall impl_{f.name}({parameter_list(f)});")
    out += ["}", ""]
    return "\n".join(out)


def _record(f, alias_number=None):
    """The body of `if (RecordsCall(gate_))`: the payload's fixed part laid out by a lambda that
    WriteFilled runs on the record's place in the ring (or on a buffer when the ring cannot take it
    in place), the data block after it. Pointer-sized values take the process's pointer width, and
    move the fields after them. An alias's recorder (alias_number) writes its marker ahead, in the
    same ring write."""
    layout = f.layout
    size = layout.cpp_fixed_size
    lines = ["        auto fill_ = [&](unsigned char* p_) {"]
    for field in layout.fields:
        target = f"p_ + {field.cpp_offset}"
        if field.through_pointer:
            lines.append(f"            if ({field.value}) std::memcpy({target}, {field.value}, {field.size}); "
                         f"else std::memset({target}, 0, {field.size});")
        else:
            lines.append(f"            std::memcpy({target}, &{field.value}, {field.cpp_size});")
    if not layout.fields:
        lines.append("            (void)p_;")
    lines.append("        };")
    write = "WriteFilled" if alias_number is None else "WriteFilledAlias"
    number = "" if alias_number is None else f"{alias_number}, "
    block = f", {layout.block.cpp_size}, {layout.block.source.name}" if layout.block else ""
    lines.append(f"        g_kestrel.{write}<({size})>(api::{f.name}, {number}fill_{block});")
    return lines


def _real_call(f, arguments):
    return (f"reinterpret_cast<{result_type(f)} (__stdcall*)({parameter_types(f)})>"
            f"(g_realEntries[fn::{f.name}])({arguments})")


def _gated(f, recorder, head, call, result_lines, record, returned="result_"):
    """A generated recorder: the exported function jumps to the recording function while a capture
    runs, else (after start-up, the first time) forwards straight on, before any frame is made. The
    recording function runs the gate, the real call, the record and the leave on the one capturer,
    whose address is a constant, with no second check of the capture's state. The capturer's
    virtual recorder only calls the export."""
    real = _real_call(f, argument_list(f))
    forward = f"{{ {real}; return; }}" if f.returns_void else f"return {real};"
    ret = "" if f.returns_void else "return "
    lines = [f"{result_type(f)} kestrel::GLBaseCapturer::{f.name}({parameter_list(f)}) {{",
             f"    {ret}impl_{f.name}({argument_list(f)});",
             "}",
             f"static __attribute__((noinline)) {result_type(f)} __stdcall record_{f.name}({recorder}) {{"] + head
    lines.append("    ThreadDepthEntry* const gate_ = g_kestrel.EnterRunningGate();")
    lines += [f"    {call};"] if f.returns_void else result_lines
    lines.append("    if (g_kestrel.RecordsCall(gate_)) {")
    lines += record
    lines += ["    }", "    g_kestrel.LeaveRunningGate(gate_);"]
    if not f.returns_void:
        lines.append(f"    return {returned};")
    lines += ["}",
              f'extern "C" {result_type(f)} __stdcall impl_{f.name}({parameter_list(f)}) {{',
              f"    if (g_kestrel.Recording()) {{ {ret}record_{f.name}({argument_list(f)}); {'return; ' if f.returns_void else ''}}}",
              f"    if (g_kestrel.ForwardingOnly()) {forward}",
              f"    {ret}record_{f.name}({argument_list(f)});",
              "}"]
    return lines


def _ordinary(f):
    call = _real_call(f, argument_list(f))
    return _gated(f, parameter_list(f), [], call, [f"    {result_type(f)} result_ = {call};"], _record(f))


def _converted(value, have, want):
    # Alias and target may spell a type differently (GLuint and GLhandleARB, GLchar and GLcharARB);
    # the model has checked that the sizes agree.
    return value if have == want else f"std::bit_cast<{want}>({value})"


def _alias(f):
    target = f.target
    args = ", ".join(_converted(mine.name, mine.cpp, theirs.cpp) for mine, theirs in zip(f.params, target.params))
    # GLKestrel is the one capturer there is, and final: the target's recorder is called directly.
    call = f"static_cast<GLKestrel&>(*this).{target.name}({args})"
    # Start-up binds the real library: only then does the alias's own slot hold its real entry point.
    lines = [f"{result_type(f)} kestrel::GLBaseCapturer::{f.name}({parameter_list(f)}) {{",
             "    EnsureStarted();",
             f"    AliasCall alias_(*this, {f.alias_number}, api::{target.name}, g_realEntries[fn::{f.name}]);"]
    if f.returns_void:
        lines.append(f"    {call};")
    else:
        lines.append(f"    return {_converted(call, result_type(target), result_type(f))};")
    lines.append("}")
    return lines


def _direct_alias(f):
    """An alias whose target has a generated recorder: the target's recorder, written out again with
    the alias's real entry point and its marker, without the alias call's shared state. The
    parameters take the target's names (and types, where the alias spells one differently), which
    the target's layout uses."""
    target = f.target
    recorder, head, arguments = [], [], []
    for mine, theirs in zip(f.params, target.params):
        if mine.cpp == theirs.cpp:
            recorder.append(f"{mine.cpp} {theirs.name}")
            arguments.append(theirs.name)
        else:
            recorder.append(f"{mine.cpp} {theirs.name}_alias_")
            head.append(f"    {theirs.cpp} const {theirs.name} = std::bit_cast<{theirs.cpp}>({theirs.name}_alias_);")
            arguments.append(f"{theirs.name}_alias_")
    call = _real_call(f, ", ".join(arguments))
    record = _record(target, f.alias_number)
    if f.returns_void or result_type(f) == result_type(target):
        return _gated(f, ", ".join(recorder), head, call, [f"    {result_type(f)} result_ = {call};"], record)
    # The target's layout records result_ in the target's type; the alias returns its own.
    result_lines = [f"    {result_type(f)} const aliasResult_ = {call};",
                    f"    {result_type(target)} const result_ = std::bit_cast<{result_type(target)}>(aliasResult_);"]
    return _gated(f, ", ".join(recorder), head, call, result_lines, record, returned="aliasResult_")


def _interceptor(f):
    call = f"kestrel::g_kestrel.{f.name}({argument_list(f)})"
    real = (f"reinterpret_cast<{result_type(f)} (__stdcall*)({parameter_types(f)})>"
            f"(kestrel::g_realEntries[kestrel::fn::{f.name}])({argument_list(f)})")
    # Without a capture the call goes straight to its own real function, unless the recorder that
    # would run is a hand-written one (it may keep bookkeeping even then).
    lines = [f'extern "C" {result_type(f)} __stdcall impl_{f.name}({parameter_list(f)}) {{']
    if not f.target.overridden:
        lines.append(f"    if (kestrel::g_kestrel.ForwardingOnly()) {{ {real if f.returns_void else 'return ' + real}; "
                     f"{'return; ' if f.returns_void else ''}}}")
    lines += [f"    {call};" if f.returns_void else f"    return {call};",
              "}"]
    return lines


def emit_entry_points(api, part, parts):
    """Entry points of one of `parts` files; the files split the functions into even index ranges."""
    count = len(api.functions)
    first, last = count * part // parts, count * (part + 1) // parts
    out = [BANNER,
           f"// Entry points {part + 1} of {parts}: functions {first} to {last - 1}.",
           "// An ordinary recorder follows the common path: gate, real call through its slot, the record when",
           "// the gate says so, leave. An alias records as its target does, with its own real entry point and",
           "// its marker; one whose target is hand-written runs that recorder inside an alias call.",
           "#include <bit>",
           "#include <cstdint>",
           "#include <cstring>",
                      "",
           '#include "capture/GLKestrel.h"',
           '#include "gen/ApiTable.h"',
           '#include "gen/Interceptors.h"',
           '#include "glrecord/SizeRules.h"',
           '#include "stream/PointerWidth.h"',
           ""]
    out.append("namespace kestrel {")
    out.append("")
    for f in api.functions[first:last]:
        if f.is_alias and not f.target.overridden:
            out += _direct_alias(f)
        elif f.is_alias:
            out += _alias(f) + _interceptor(f)
        elif not f.overridden:
            out += _ordinary(f)
        else:
            out += _interceptor(f)
        out.append("")
    out.append("}  // namespace kestrel")
    return "\n".join(out)
