"""The data blocks of payload_blocks.txt: which functions carry pointed-to data after their fixed
part, and how many bytes of it. A size is a product of factors; each factor is a number, an integer
parameter, W (the width of one pointed-to value) or a size rule of glrecord/SizeRules.h."""

import re
from dataclasses import dataclass, field

from .errors import GenerationError, data_lines

# The size rules of glrecord/SizeRules.h that the file may name, with their parameter counts.
SIZE_RULES = {
    "TypeSize": 1,
    "PixelComponents": 1,
    "BytesPerPixel": 2,
    "ClearValueCount": 1,
    "Map2Values": 4,
    "LightValues": 1,
    "LightModelValues": 1,
    "MaterialValues": 1,
    "FogValues": 1,
    "TexParameterValues": 1,
    "TexGenValues": 1,
    "TexEnvValues": 2,
    "PointParameterValues": 1,
    "ColorTableParameterValues": 1,
    "CombinerParameterValues": 1,
    "ConvolutionParameterValues": 1,
    "ImageTransformParameterValues": 1,
    "ListParameterValues": 1,
    "SpriteParameterValues": 1,
    "TexBumpParameterValues": 1,
}

_FACTOR = re.compile(r"^(?:(?P<number>[0-9]+)|(?P<width>W)|(?P<rule>[A-Za-z0-9]+)\((?P<args>[A-Za-z_0-9,]*)\)|"
                     r"(?P<param>[A-Za-z_][A-Za-z_0-9]*))$")
_BRACES = re.compile(r"\{([^{}]*)\}")


@dataclass(frozen=True)
class Factor:
    kind: str            # "number", "width", "rule" or "param"
    value: str = ""      # the number, the rule's name or the parameter's name
    args: tuple = ()     # a rule's parameter names


@dataclass
class BlockRule:
    size: str                      # as written, for messages
    factors: tuple = ()            # empty for a string
    is_string: bool = False
    source: str = ""               # the pointer parameter, when the line names it
    context: str = ""


@dataclass
class PayloadRules:
    patterns: list = field(default_factory=list)   # (pattern as written, its names, BlockRule)
    fixed: dict = field(default_factory=dict)      # function name -> (field names, context)


def expand(pattern):
    """Every spelling of a name with brace groups: "glUniform1{f,i}v{,ARB}" gives four."""
    match = _BRACES.search(pattern)
    if not match:
        return [pattern]
    head, tail = pattern[:match.start()], pattern[match.end():]
    return [name for choice in match.group(1).split(",") for name in expand(head + choice + tail)]


def parse_size(text, context):
    if text == "string":
        return BlockRule(text, (), True, "", context)
    factors = []
    for piece in text.split("*"):
        match = _FACTOR.match(piece)
        if not match:
            raise GenerationError(f"{context}: cannot read the size factor '{piece}' of '{text}'")
        if match["number"]:
            factors.append(Factor("number", match["number"]))
        elif match["width"]:
            factors.append(Factor("width"))
        elif match["rule"]:
            name, args = match["rule"], tuple(a for a in match["args"].split(",") if a)
            if name not in SIZE_RULES:
                raise GenerationError(f"{context}: unknown size rule {name} (glrecord/SizeRules.h has "
                                      f"{', '.join(sorted(SIZE_RULES))})")
            if len(args) != SIZE_RULES[name]:
                raise GenerationError(f"{context}: {name} takes {SIZE_RULES[name]} parameters, not {len(args)}")
            factors.append(Factor("rule", name, args))
        else:
            factors.append(Factor("param", match["param"]))
    return BlockRule(text, tuple(factors), False, "", context)


def read_payload_rules(path):
    rules = PayloadRules()
    for context, line in data_lines(path):
        words = line.split()
        if words[0] == "fixed":
            if len(words) < 3:
                raise GenerationError(f"{context}: expected 'fixed <field>... <function>'")
            name = words[-1]
            if name in rules.fixed:
                raise GenerationError(f"{context}: the fixed part of {name} is given twice")
            rules.fixed[name] = (tuple(words[1:-1]), context)
            continue
        if len(words) < 2:
            raise GenerationError(f"{context}: expected '<size> <function>...'")
        size, _, source = words[0].partition("@")
        rule = parse_size(size, context)
        rule.source = source
        for pattern in words[1:]:
            rules.patterns.append((pattern, expand(pattern), rule))
    return rules
