"""C type spellings as the registry and the prototypes write them: a base type, its constness, and
the pointer levels above it ("const GLchar *const*" is GLchar, const, two levels, the outer const)."""

import re
from dataclasses import dataclass

from .errors import GenerationError

_TOKEN = re.compile(r"[A-Za-z_][A-Za-z_0-9]*|\*|\S")


@dataclass(frozen=True)
class CType:
    base: str                 # "GLfloat", "unsigned int", "struct _cl_event"
    base_const: bool = False
    pointers: tuple = ()      # one bool per '*', True when that pointer itself is const

    @property
    def is_void(self):
        return self.base in ("void", "VOID") and not self.pointers

    def __str__(self):
        text = ("const " if self.base_const else "") + self.base
        for const in self.pointers:
            text += " *" + (" const" if const else "")
        return text


def parse_ctype(text, context):
    """Parses a type spelling; context names the function and parameter for error messages."""
    words, pointers, base_const = [], [], False
    for token in _TOKEN.findall(text):
        if token == "*":
            pointers.append(False)
        elif token == "const":
            if pointers:
                pointers[-1] = True
            else:
                base_const = True
        elif re.fullmatch(r"[A-Za-z_][A-Za-z_0-9]*", token) and not pointers:
            words.append(token)
        else:
            raise GenerationError(f"{context}: cannot read the type '{text}'")
    if not words:
        raise GenerationError(f"{context}: no type in '{text}'")
    return CType(" ".join(words), base_const, tuple(pointers))
