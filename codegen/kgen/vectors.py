"""Fixed-count vector forms: v forms whose count follows from the name. Each const pointer of such a
form stands for that many values of its pointee type, which the record carries in place of the
address. "glTexCoord2fColor4ubVertex3fvSUN" gives its three pointers 2, 4 and 3 values."""

import re

# The type letters of the names, and the pointee types each accepts.
TYPE_CODES = {
    "b": {"GLbyte"}, "s": {"GLshort"}, "i": {"GLint"}, "f": {"GLfloat", "GLclampf"},
    "d": {"GLdouble", "GLclampd"}, "ub": {"GLubyte"}, "us": {"GLushort"}, "ui": {"GLuint"},
    "h": {"GLhalfNV"}, "i64": {"GLint64EXT", "GLint64"}, "ui64": {"GLuint64EXT", "GLuint64"},
}
_CODE = "ui64|i64|ub|us|ui|b|s|i|f|d|h"
_VENDOR = re.compile(r"(ARB|EXT|NVX|NV|ATI|AMD|SGIS|SGIX|SGI|SUNX|SUN|APPLE|INTEL|MESA|IBM|HP|OES|KHR|3DFX|"
                     r"I3D|OML|WIN|KTX|GREMEDY|INGR|PGI)$")
_SEGMENT = re.compile(rf"([1-4])N?({_CODE})(?=[A-Z]|$)")
_PACKED = re.compile(r"P[1-4]ui$")
_REPLACEMENT_CODE = re.compile(r"^ReplacementCode(ui|us|ub)")

# Value parameters that make a v form variable-count (glUniform4fv's count, glVertexAttribs4hvNV's n).
COUNT_PARAMETERS = {"count", "n"}


def name_segments(name):
    """(count, type letter) for every vector in a v form's name, or [] when it is not one."""
    if not name.startswith("gl"):
        return []
    body = _VENDOR.sub("", name[2:])
    if not body.endswith("v"):
        return []
    body = body[:-1]
    if _PACKED.search(body):
        return [(1, "ui")]
    segments = []
    replacement = _REPLACEMENT_CODE.match(body)
    if replacement:
        segments.append((1, replacement.group(1)))
        body = body[replacement.end():]
    segments += [(int(count), code) for count, code in _SEGMENT.findall(body)]
    return segments


def assign_fixed_counts(function, counts_without_name):
    """Sets fixed_count on the pointers of a fixed-count form; returns True when it is one."""
    inputs = [p for p in function.params if p.type.pointer_depth == 1 and p.type.points_to_const]
    counted = any(p.registry_name in COUNT_PARAMETERS and not p.type.is_pointer for p in function.params)
    if not inputs or counted:
        return False
    if function.name in counts_without_name:
        for param in inputs:
            param.fixed_count = counts_without_name[function.name]
        return True
    segments = name_segments(function.name)
    if not segments:
        return False
    matched, remaining = [], list(segments)
    for param in inputs:
        if remaining and param.type.base.name in TYPE_CODES[remaining[0][1]]:
            matched.append((param, remaining.pop(0)[0]))
    if remaining:
        return False
    for param, count in matched:
        param.fixed_count = count
    return True
