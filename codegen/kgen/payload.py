"""The payload layout of every recorder: the fields of its fixed part at their widths and offsets,
and the data block that follows it. The recorder emitter and the description emitter both read
this, so that what readers are told is what the recorders write.

Widths and offsets are those of a 32-bit process; a field marked pointer_sized is 4 bytes wider in a
64-bit one and moves every field after it. cpp_* give the C++ expressions that hold at either width."""

from dataclasses import dataclass

from .blocks import SIZE_RULES
from .errors import GenerationError

# Kinds of values as readers see them (gen/ApiDescription.h has the same names).
_KIND_OF_TYPE = {
    "enum": "Enum", "bool": "Boolean", "bitfield": "Bitfield", "int": "SignedInt", "uint": "UnsignedInt",
    "char": "Char", "half": "Half", "handle": "Handle", "pointer": "Pointer", "funcptr": "Pointer",
    "struct": "Bytes", "void": "Bytes",
}


def value_kind(type_info):
    if type_info.kind == "float":
        return "Double" if type_info.width == 8 else "Float"
    return _KIND_OF_TYPE[type_info.kind]


@dataclass
class FixedField:
    name: str            # the parameter's name, or "result"
    value: str           # the C++ expression that holds it (a pointer to the values of a vector form)
    kind: str
    width: int           # bytes per value
    count: int           # values; more than 1 only for fixed-count vector forms
    offset: int
    parameter: int = -1  # its position among the function's parameters; -1 for the result
    is_result: bool = False
    through_pointer: bool = False
    pointer_sized: bool = False
    pointers_before: int = 0  # pointer-sized fields ahead of it

    @property
    def size(self):
        return self.width * self.count

    @property
    def cpp_offset(self):
        return cpp_bytes(self.offset, self.pointers_before)

    @property
    def cpp_size(self):
        return "kestrel::kPointerBytes" if self.pointer_sized else str(self.size)


def cpp_bytes(bytes32, pointers):
    """A byte count of a 32-bit process with this many pointer-sized values in it, at the target's width."""
    return str(bytes32) if not pointers else f"{bytes32} + {pointers} * kestrel::kPointerExtraBytes"


@dataclass
class DataBlock:
    source: object       # model.Param: the pointer whose data it is
    parameter: int       # its position among the function's parameters
    cpp_size: str        # C++ expression of its byte count (a std::uint32_t)
    text: str            # its size rule for readers
    element_kind: str
    element_width: int


@dataclass
class Layout:
    fields: list
    block: DataBlock = None

    @property
    def fixed_size(self):
        return sum(f.size for f in self.fields)

    @property
    def pointer_fields(self):
        return sum(1 for f in self.fields if f.pointer_sized)

    @property
    def cpp_fixed_size(self):
        return cpp_bytes(self.fixed_size, self.pointer_fields)


def _param_field(param, position, offset):
    if param.fixed_count:
        pointee = param.type.pointee
        if pointee.pointer_sized:
            raise GenerationError(f"{param.name}: a fixed-count form of pointer-sized values")
        return FixedField(param.name, param.name, value_kind(pointee), pointee.width, param.fixed_count, offset,
                          position, through_pointer=True)
    kind = "Pointer" if param.type.pointer_depth else value_kind(param.type.base)
    return FixedField(param.name, param.name, kind, param.width, 1, offset, position,
                      pointer_sized=param.type.pointer_sized)


def _result_field(function, offset):
    kind = "Pointer" if function.result.pointer_depth else value_kind(function.result.base)
    return FixedField("result", "result_", kind, function.result.width, 1, offset, is_result=True,
                      pointer_sized=function.result.pointer_sized)


RESULT = None  # stands for the result among parameter names (a parameter may be called "result")


def _fields(function, chosen, context):
    names = chosen if chosen is not None else [p.name for p in function.params] + \
        ([] if function.returns_void else [RESULT])
    by_name = {p.name: (i, p) for i, p in enumerate(function.params)}
    fields, offset, pointers = [], 0, 0
    for name in names:
        if name is RESULT:
            if function.returns_void:
                raise GenerationError(f"{context}: {function.name} has no result")
            field = _result_field(function, offset)
        elif name in by_name:
            field = _param_field(by_name[name][1], by_name[name][0], offset)
        else:
            raise GenerationError(f"{context}: {function.name} has no parameter {name}")
        field.pointers_before = pointers
        pointers += field.pointer_sized
        fields.append(field)
        offset += field.size
    return fields


def _source(function, rule):
    pointers = [p for p in function.params if p.type.is_pointer]
    if rule.source:
        named = [p for p in pointers if p.name == rule.source]
        if not named:
            raise GenerationError(f"{rule.context}: {function.name} has no pointer parameter {rule.source}")
        return named[0]
    if len(pointers) != 1:
        raise GenerationError(f"{rule.context}: {function.name} has {len(pointers)} pointer parameters; "
                              f"name the block's one with <size>@<param>")
    return pointers[0]


def _integer_param(function, name, rule):
    for p in function.params:
        if p.name == name and not p.type.is_pointer and p.type.base.kind in ("int", "uint", "enum"):
            return p
    raise GenerationError(f"{rule.context}: {name} is not an integer parameter of {function.name}")


def _block(function, rule):
    source = _source(function, rule)
    position = function.params.index(source)
    pointee = source.type.pointee
    if rule.is_string:
        if pointee is None and source.type.base.kind != "pointer" or pointee is not None and pointee.width != 1:
            raise GenerationError(f"{rule.context}: {source.name} of {function.name} is not a string")
        return DataBlock(source, position, f"kestrel::rules::StringBytes({source.name})", "string and its NUL",
                         "Char", 1)
    cpp, text = [], []
    if pointee is not None and pointee.pointer_sized:
        raise GenerationError(f"{rule.context}: {source.name} of {function.name} points to pointer-sized values; "
                              f"their block needs a hand-written recorder")
    element_kind, element_width = ("Bytes", 1) if pointee is None or not pointee.width else \
        (value_kind(pointee), pointee.width)
    for factor in rule.factors:
        if factor.kind == "number":
            cpp.append(f"{factor.value}u")
            text.append(factor.value)
        elif factor.kind == "width":
            if pointee is None or not pointee.width:
                raise GenerationError(f"{rule.context}: W: {source.name} of {function.name} points to no sized value")
            cpp.append(f"{pointee.width}u")
            text.append(str(pointee.width))
        elif factor.kind == "param":
            _integer_param(function, factor.value, rule)
            cpp.append(factor.value)
            text.append(factor.value)
        else:
            for arg in factor.args:
                _integer_param(function, arg, rule)
            assert len(factor.args) == SIZE_RULES[factor.value]
            cpp.append(f"kestrel::rules::{factor.value}({', '.join(factor.args)})")
            text.append(f"{factor.value}({', '.join(factor.args)})")
    return DataBlock(source, position, f"kestrel::rules::BlockBytes({', '.join(cpp)})", " x ".join(text),
                     element_kind, element_width)


def assign(functions, by_name, rules):
    """Gives every function with a recorder of its own its layout; aliases share their target's."""
    blocks = {}
    for pattern, names, rule in rules.patterns:
        spelled = names != [pattern]
        matched = 0
        for name in names:
            function = by_name.get(name)
            if function is None or function.is_alias:
                if spelled:
                    continue
                what = "an alias; it records by its target's rule" if function else "not in the table"
                raise GenerationError(f"{rule.context}: {name} is {what}")
            if name in blocks:
                raise GenerationError(f"{rule.context}: {name} already has a data block ({blocks[name].context})")
            if function.fixed_vector:
                raise GenerationError(f"{rule.context}: {name} is a fixed-count vector form")
            blocks[name] = rule
            matched += 1
        if not matched:
            raise GenerationError(f"{rule.context}: {pattern} names no function of the table")
    for name, (_, context) in rules.fixed.items():
        function = by_name.get(name)
        if function is None or function.is_alias:
            raise GenerationError(f"{context}: {name} is not a function with a recorder of its own")
    for function in functions:
        if function.is_alias:
            continue
        chosen, context = rules.fixed.get(function.name, (None, ""))
        names = [RESULT if name == "result" else name for name in chosen] if chosen is not None else None
        fields = _fields(function, names, context)
        rule = blocks.get(function.name)
        function.layout = Layout(fields, _block(function, rule) if rule else None)
        if chosen is None and function.layout.fixed_size != function.fixed_part_size:
            raise GenerationError(f"{function.name}: fixed part of {function.layout.fixed_size} bytes, "
                                  f"expected {function.fixed_part_size}")
    for function in functions:
        if function.is_alias:
            function.layout = function.target.layout
