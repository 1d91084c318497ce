"""The data blocks of payload_blocks.txt: which functions carry pointed-to data after their fixed
part, and how many bytes of it. A size is a product of factors; each factor is a number, an integer
parameter, W (the width of one pointed-to value) or a size rule of glrecord/SizeRules.h."""

import re
import shlex
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


@dataclass(frozen=True)
class ValueSpec:
    """A value a hand-written recorder writes as it chooses: its kind, width and count, or a struct."""
    kind: str = ""       # a ValueKind name, or "" for a parameter or the result as its type gives it
    width: int = 0
    count: int = 1
    struct: str = ""     # a struct of this file, whose members stand in its place


@dataclass(frozen=True)
class RecordField:
    name: str
    spec: ValueSpec


@dataclass
class ReaderBlock:
    """One block after a hand-written recorder's fixed part, as readers find it: its size is the rest
    of the payload, a number of bytes, or a field's value times a number of bytes."""
    name: str
    spec: ValueSpec
    size: str            # "rest", "bytes" or "field"
    bytes: int = 0       # the number, or the bytes per unit of the field's value
    field: str = ""      # the field whose value gives the size
    when: str = ""       # present only when this field is not zero
    text: str = ""       # how the recorder sizes it, for people
    context: str = ""


@dataclass
class PayloadRules:
    patterns: list = field(default_factory=list)   # (pattern as written, its names, BlockRule)
    fixed: dict = field(default_factory=dict)      # function name -> (field names, context)
    records: dict = field(default_factory=dict)    # function name -> ([RecordField], context)
    blocks: dict = field(default_factory=dict)     # function name -> [ReaderBlock]
    structs: dict = field(default_factory=dict)    # struct name -> [(member, ValueSpec)]


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


KINDS = ("SignedInt", "UnsignedInt", "Enum", "Bitfield", "Boolean", "Float", "Double", "Half", "Char", "Pointer",
         "Handle", "Bytes")
_SPEC = re.compile(r"^(?P<kind>[A-Za-z]+)(?:/(?P<width>[1248])(?:x(?P<count>[0-9]+))?)?$")


def parse_spec(text, structs, context):
    """"Kind/width", "Kind/widthxcount" or a struct's name."""
    if text in structs:
        return ValueSpec(struct=text)
    match = _SPEC.match(text)
    if not match or match["kind"] not in KINDS or not match["width"]:
        raise GenerationError(f"{context}: '{text}' is neither <Kind>/<width>[x<count>] nor a struct of this file")
    return ValueSpec(match["kind"], int(match["width"]), int(match["count"] or 1))


def _named(word, structs, context):
    name, _, spec = word.partition("=")
    return name, parse_spec(spec, structs, context) if spec else ValueSpec()


def _reader_block(words, structs, context):
    """data <function> <name>[=<spec>] <size> [when <field>] ["<text>"]"""
    if len(words) < 3:
        raise GenerationError(f"{context}: expected 'data <function> <name>[=<spec>] <size> [when <field>] [\"<text>\"]'")
    name, spec = _named(words[2], structs, context)
    rest = words[3:]
    if not rest:
        raise GenerationError(f"{context}: the block {name} has no size")
    size, rest = rest[0], rest[1:]
    block = ReaderBlock(name, spec, "rest", context=context)
    if size != "rest":
        count, _, unit = size.partition("*")
        if count.isdigit() and not unit:
            block.size, block.bytes = "bytes", int(count)
        elif re.match(r"^[A-Za-z_][A-Za-z_0-9]*$", count) and (not unit or unit.isdigit()):
            block.size, block.field, block.bytes = "field", count, int(unit or 1)
        else:
            raise GenerationError(f"{context}: cannot read the size '{size}' (rest, <bytes> or <field>[*<bytes>])")
    if len(rest) >= 2 and rest[0] == "when":
        block.when, rest = rest[1], rest[2:]
    if len(rest) > 1:
        raise GenerationError(f"{context}: cannot read '{' '.join(rest)}'")
    block.text = rest[0] if rest else size
    return block


def read_payload_rules(path):
    rules = PayloadRules()
    for context, line in data_lines(path):
        words = shlex.split(line)
        if words[0] == "struct":
            if len(words) < 3:
                raise GenerationError(f"{context}: expected 'struct <name> <member>=<spec>...'")
            members = [_named(word, {}, context) for word in words[2:]]
            if any(not spec.kind for _, spec in members):
                raise GenerationError(f"{context}: every member of {words[1]} needs its <Kind>/<width>")
            rules.structs.setdefault(words[1], []).extend(members)  # a continued line adds members
            continue
        if words[0] == "record":
            if len(words) < 3:
                raise GenerationError(f"{context}: expected 'record <function> <field>...'")
            fields, _ = rules.records.setdefault(words[1], ([], context))  # a continued line adds fields
            fields.extend(RecordField(*_named(w, rules.structs, context)) for w in words[2:])
            continue
        if words[0] == "data":
            block = _reader_block(words, rules.structs, context)
            for name in expand(words[1]):
                rules.blocks.setdefault(name, []).append(block)
            continue
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
