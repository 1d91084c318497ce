"""The type table: for every type a signature may use, its C++ spelling, its size on the 32-bit stack,
its width in a record payload and its kind. A type outside the table stops the generator.

Pointers and the types marked "P" are as wide as a pointer of the recorded process. Sizes here are
those of a 32-bit process (POINTER_BYTES); the emitters turn every pointer-sized value into an
expression of the target's pointer width, so one model serves both widths."""

from dataclasses import dataclass

from .ctype import CType
from .errors import GenerationError, data_lines

KINDS = {"enum", "bool", "bitfield", "int", "uint", "char", "half", "float", "handle", "pointer", "funcptr",
         "struct", "void"}
POINTER_BYTES = 4


@dataclass(frozen=True)
class TypeInfo:
    name: str        # as the registry spells it
    cpp: str         # as generated code spells it
    stack: int       # bytes on the stack when passed by value; 0 when it cannot be
    width: int       # bytes in a record payload; 0 when it has none
    kind: str
    pointer_sized: bool = False  # as wide as a pointer: POINTER_BYTES above, 8 in a 64-bit process


@dataclass(frozen=True)
class ResolvedType:
    """A type as the model uses it: a value of a table type, or a pointer to one."""
    ctype: CType
    base: TypeInfo

    @property
    def pointer_depth(self):
        return len(self.ctype.pointers)

    @property
    def is_pointer(self):
        return self.pointer_depth > 0 or self.base.kind == "pointer"

    @property
    def is_void(self):
        return self.ctype.is_void or (self.base.kind == "void" and not self.ctype.pointers)

    @property
    def pointer_sized(self):
        return bool(self.ctype.pointers) or self.base.pointer_sized

    @property
    def stack(self):
        return POINTER_BYTES if self.ctype.pointers else self.base.stack

    @property
    def width(self):
        return POINTER_BYTES if self.ctype.pointers else self.base.width

    @property
    def pointee(self):
        """The type a single-level pointer points to (its width is the data's element width)."""
        return self.base if self.pointer_depth == 1 else None

    @property
    def points_to_const(self):
        return self.pointer_depth >= 1 and self.ctype.base_const

    @property
    def cpp(self):
        text = ("const " if self.ctype.base_const else "") + self.base.cpp
        for const in self.ctype.pointers:
            text += " *" + (" const" if const else "")
        return text


class TypeTable:
    def __init__(self, types):
        self.types = types
        self.used = set()

    def resolve(self, ctype, context, is_result=False):
        info = self.types.get(ctype.base)
        if info is None:
            raise GenerationError(f"{context}: unknown type '{ctype.base}' (add it to types.txt and GLTypes.h)")
        self.used.add(info.name)
        resolved = ResolvedType(ctype, info)
        if not ctype.pointers and info.stack == 0 and not (is_result and info.kind == "void"):
            raise GenerationError(f"{context}: type '{ctype.base}' cannot be passed by value")
        return resolved


def read_types(path):
    types = {}
    for context, line in data_lines(path):
        fields = [field.strip() for field in line.split("|")]
        if len(fields) != 5:
            raise GenerationError(f"{context}: expected 5 columns separated by '|'")
        name, cpp, stack, width, kind = fields
        if name in types:
            raise GenerationError(f"{context}: type {name} is listed twice")
        if kind not in KINDS:
            raise GenerationError(f"{context}: unknown kind '{kind}' for {name}")
        if (stack == "P") != (width == "P"):
            raise GenerationError(f"{context}: {name} is pointer-sized on the stack and in a payload, or neither")
        pointer_sized = width == "P"
        try:
            stack_bytes = POINTER_BYTES if pointer_sized else 0 if stack == "-" else int(stack)
            payload_width = POINTER_BYTES if pointer_sized else 0 if width == "-" else int(width)
        except ValueError:
            raise GenerationError(f"{context}: sizes of {name} must be numbers, 'P' or '-'")
        if stack_bytes not in (0, 4, 8) or payload_width not in (0, 1, 2, 4, 8):
            raise GenerationError(f"{context}: impossible sizes for {name}")
        types[name] = TypeInfo(name, cpp, stack_bytes, payload_width, kind, pointer_sized)
    return TypeTable(types)
