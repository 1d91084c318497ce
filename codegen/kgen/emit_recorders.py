"""The recorders of GLBaseCapturer (declarations and definitions) and the exported interceptors
that call them on the one global capturer."""

from .cpp import BANNER, argument_list, parameter_list, parameter_types, result_type


def emit_declarations(api):
    out = [BANNER,
           "// Included inside class GLBaseCapturer: one recorder per entry point, in function index order."]
    for f in api.functions:
        out.append(f"virtual {result_type(f)} {f.name}({parameter_list(f)});")
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


def _ordinary(f):
    call = (f"reinterpret_cast<{result_type(f)} (__stdcall*)({parameter_types(f)})>"
            f"(RealEntry(fn::{f.name}, api::{f.name}))({argument_list(f)})")
    lines = [f"{result_type(f)} kestrel::GLBaseCapturer::{f.name}({parameter_list(f)}) {{",
             "    EnterCall();",
             f"    {call};" if f.returns_void else f"    {result_type(f)} result_ = {call};",
             "    if (ShouldRecord()) {",
             "    }",
             "    LeaveCall();"]
    if not f.returns_void:
        lines.append("    return result_;")
    lines.append("}")
    return lines


def _converted(value, have, want):
    # Alias and target may spell a type differently (GLuint and GLhandleARB, GLchar and GLcharARB);
    # the model has checked that the sizes agree.
    return value if have == want else f"std::bit_cast<{want}>({value})"


def _alias(f):
    target = f.target
    args = ", ".join(_converted(mine.name, mine.cpp, theirs.cpp) for mine, theirs in zip(f.params, target.params))
    call = f"{target.name}({args})"
    lines = [f"{result_type(f)} kestrel::GLBaseCapturer::{f.name}({parameter_list(f)}) {{",
             f"    AliasCall alias_(*this, {f.alias_number}, api::{target.name}, g_realEntries[fn::{f.name}]);"]
    if f.returns_void:
        lines.append(f"    {call};")
    else:
        lines.append(f"    return {_converted(call, result_type(target), result_type(f))};")
    lines.append("}")
    return lines


def _interceptor(f):
    call = f"kestrel::g_kestrel.{f.name}({argument_list(f)})"
    body = f"{call};" if f.returns_void else f"return {call};"
    return [f'extern "C" {result_type(f)} __stdcall impl_{f.name}({parameter_list(f)}) {{ {body} }}']


def emit_entry_points(api, part, parts):
    """Entry points of one of `parts` files; the files split the functions into even index ranges."""
    count = len(api.functions)
    first, last = count * part // parts, count * (part + 1) // parts
    out = [BANNER,
           f"// Entry points {part + 1} of {parts}: functions {first} to {last - 1}.",
           "// An ordinary recorder follows the common path: gate, real call through its slot, leave. An alias",
           "// runs its target's recorder with its own real entry point.",
           "#include <bit>",
           "",
           '#include "capture/GLKestrel.h"',
           '#include "gen/ApiTable.h"',
           '#include "gen/Interceptors.h"',
           ""]
    for f in api.functions[first:last]:
        out += _alias(f) if f.is_alias else _ordinary(f)
        out += _interceptor(f)
        out.append("")
    return "\n".join(out)
