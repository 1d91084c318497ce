"""The model of every entry point: its index, API id, alias number and target, resolved result and
parameters with their stack sizes and payload widths, and the fixed-count vector forms. The totals
of the export surface are checked here."""

import os
from dataclasses import dataclass, field

from . import payload, vectors
from .errors import GenerationError
from .names import RESERVED_LOCALS, cpp_parameter_name

GL11_LAST_ID = 0x40000151

EXPECTED = {
    "ids": 2416,
    "aliases": 379,
    "interceptors": 2795,
    "OpenGL 1.1 functions": 336,
    "system wgl functions": 24,
    "extension names": 2435,
    "exports": 3163,
}


@dataclass
class Param:
    name: str              # in generated C++
    registry_name: str
    type: object           # types.ResolvedType
    length: str = ""       # the registry's len attribute, for variable-count data
    group: str = ""
    fixed_count: int = 0   # values in place of the pointer in a fixed-count vector form, else 0
    object_class: str = ""  # the kind of GL object the value names (the registry's class), else ""

    @property
    def stack(self):
        return self.type.stack

    @property
    def width(self):
        return self.type.width

    @property
    def cpp(self):
        return self.type.cpp


@dataclass
class Function:
    index: int
    name: str
    api_id: int
    alias_number: int              # -1 for a function with a recorder of its own
    category: str                  # "gl11", "wgl" (the system library's own) or "extension"
    vendor: bool
    source: str                    # where the signature came from
    result: object = None          # types.ResolvedType
    params: list = field(default_factory=list)
    target: "Function" = None      # the function whose recorder runs; itself unless an alias
    fixed_vector: bool = False     # a fixed-count vector form recording values
    vector_by_address: bool = False  # a fixed-count form that records the address instead
    layout: object = None          # payload.Layout: what its record carries (an alias: its target's)
    override_file: str = ""        # the file of its hand-written GLKestrel recorder, "" for a generated one
    result_class: str = ""         # the kind of GL object the result names, else ""
    hand_laid: bool = False        # its record is laid out by a hand-written recorder's own lines

    @property
    def is_alias(self):
        return self.alias_number >= 0

    @property
    def overridden(self):
        return bool(self.override_file)

    @property
    def arg_bytes(self):
        return sum(p.stack for p in self.params)

    @property
    def returns_void(self):
        return self.result.is_void

    @property
    def fixed_part_size(self):
        """Payload bytes of the arguments and the result at their widths, with the values of a
        fixed-count vector form in place of its pointers."""
        size = sum(p.fixed_count * p.type.pointee.width if p.fixed_count else p.width for p in self.params)
        return size + (0 if self.returns_void else self.result.width)


@dataclass
class Api:
    functions: list                 # index order: ids in id order, then aliases by number
    by_name: dict
    gl11: list                      # alphabetical
    system_wgl: list                # binding order
    pass_through: list              # tables.SystemExport, slot order after the functions
    exit_exports: list
    extensions: list                # lookup order
    types: object                   # types.TypeTable

    @property
    def slot_count(self):
        return len(self.functions) + len(self.pass_through)

    def slot_of_pass_through(self, name):
        return len(self.functions) + [e.name for e in self.pass_through].index(name)

    def export_count(self):
        return len(self.gl11) + len(self.system_wgl) + len(self.pass_through) + len(self.exit_exports) + \
            len(self.functions)


def _signature_for(name, registry, own, alias_target=None):
    if name in registry:
        return registry[name]
    if name in own:
        return own[name]
    if alias_target is not None:
        return _signature_for(alias_target, registry, own)
    return None


def _resolve(function, signature, types):
    context = f"{function.name} ({signature.source})"
    function.source = signature.source
    function.result = types.resolve(signature.result, context, is_result=True)
    seen = set()
    for raw in signature.params:
        name = cpp_parameter_name(raw.name)
        if name in seen or name in RESERVED_LOCALS:
            raise GenerationError(f"{context}: parameter name '{name}' repeats or is reserved")
        seen.add(name)
        param_type = types.resolve(raw.ctype, f"{context} parameter {raw.name}")
        function.params.append(Param(name, raw.name, param_type, raw.length, raw.group,
                                     object_class=raw.object_class))
    function.result_class = signature.result_class


def _check_total(what, actual):
    if actual != EXPECTED[what]:
        raise GenerationError(f"the table has {actual} {what}, expected {EXPECTED[what]}")


def build(id_entries, alias_entries, system_exports, vector_forms, registry, own, types, payload_rules,
          overrides=(), source_root=None):
    _check_total("ids", len(id_entries))
    _check_total("aliases", len(alias_entries))
    functions, by_name = _make_functions(id_entries, alias_entries)
    _check_total("interceptors", len(functions))
    _attach_signatures(functions, by_name, registry, own, types)
    _mark_vector_forms(functions, by_name, vector_forms)
    payload.assign(functions, by_name, payload_rules)
    _mark_overrides(by_name, overrides, source_root)
    laid_by_hand = sorted(f.name for f in functions if f.hand_laid and not f.overridden)
    if laid_by_hand:
        raise GenerationError(f"payload_blocks.txt: record or data lines for generated recorders: {', '.join(laid_by_hand)}")

    gl11 = sorted((f for f in functions if f.category == "gl11"), key=lambda f: f.name.encode())
    _check_total("OpenGL 1.1 functions", len(gl11))
    system_wgl = _system_wgl(system_exports, by_name)
    _check_total("system wgl functions", len(system_wgl))

    api = Api(functions, by_name, gl11, system_wgl,
              [e for e in system_exports if e.role == "pass"], [e for e in system_exports if e.role == "exit"],
              _lookup_order(functions), types)
    _check_total("extension names", len(api.extensions))
    _check_total("exports", api.export_count())
    return api


def _make_functions(id_entries, alias_entries):
    """Index order: the functions with ids of their own in id order, then the aliases by number."""
    functions, by_name = [], {}
    for entry in id_entries:
        category = "gl11" if entry.api_id <= GL11_LAST_ID else "extension"
        function = Function(len(functions), entry.name, entry.api_id, -1, category, entry.vendor, "")
        function.target = function
        functions.append(function)
        by_name[entry.name] = function
    alias_names = {entry.name for entry in alias_entries}
    for entry in alias_entries:
        if entry.name in by_name:
            raise GenerationError(f"{entry.context}: alias {entry.name} repeats a name of the table")
        target = by_name.get(entry.target)
        if target is None or target.is_alias:
            kind = "an alias" if entry.target in alias_names else "not in the table"
            raise GenerationError(f"{entry.context}: target {entry.target} of alias {entry.name} is {kind}")
        function = Function(len(functions), entry.name, target.api_id, entry.number, "extension", entry.vendor, "")
        function.target = target
        functions.append(function)
        by_name[entry.name] = function
    return functions, by_name


def _attach_signatures(functions, by_name, registry, own, types):
    """The registry's signature, else the project's own prototype, else (for an alias) its target's."""
    shadowed = sorted(name for name in own if name in registry)
    if shadowed:
        raise GenerationError(f"extra_signatures.txt: the registry already describes {', '.join(shadowed)}")
    unused = sorted(name for name in own if name not in by_name)
    if unused:
        raise GenerationError(f"extra_signatures.txt: {', '.join(unused)} not in the table")
    missing = []
    for function in functions:
        target_name = function.target.name if function.is_alias else None
        signature = _signature_for(function.name, registry, own, target_name)
        if signature is None:
            missing.append(function.name)
            continue
        _resolve(function, signature, types)
        if signature.name != function.name:
            function.source = f"{signature.source} via {signature.name}"
    if missing:
        raise GenerationError(f"no signature for {', '.join(missing)} (add a prototype to extra_signatures.txt)")
    for function in functions:
        if function.is_alias:
            _check_alias_compatible(function)


def _system_wgl(system_exports, by_name):
    system_wgl = []
    for export in system_exports:
        if export.role != "wgl":
            if export.name in by_name:
                raise GenerationError(f"{export.context}: {export.name} is in the API table; it cannot pass through")
            continue
        function = by_name.get(export.name)
        if function is None or function.is_alias or function.category != "extension":
            raise GenerationError(f"{export.context}: {export.name} is not a function of its own in the table")
        function.category = "wgl"
        system_wgl.append(function)
    return system_wgl


def _check_alias_compatible(function):
    """An alias hands its arguments to its target's recorder: same count, same sizes."""
    target = function.target
    mine = [p.stack for p in function.params]
    theirs = [p.stack for p in target.params]
    if mine != theirs or function.result.width != target.result.width:
        raise GenerationError(f"alias {function.name} and its target {target.name} take different arguments")


def _mark_vector_forms(functions, by_name, vector_forms):
    for name, context in list(vector_forms.contexts.items()):
        if name not in by_name:
            raise GenerationError(f"{context}: {name} is not in the table")
    for function in functions:
        function.fixed_vector = vectors.assign_fixed_counts(function, vector_forms.counts)
        if function.name in vector_forms.counts and not function.fixed_vector:
            raise GenerationError(f"{vector_forms.contexts[function.name]}: {function.name} has no input pointer")
    for name, context in vector_forms.by_address.items():
        function = by_name[name]
        if not function.fixed_vector:
            raise GenerationError(f"{context}: {name} is not a fixed-count form")
        function.fixed_vector = False
        function.vector_by_address = True
        for param in function.params:
            param.fixed_count = 0


def _lookup_order(functions):
    """The fixed order of the extension lookup: the extension functions by id, then the aliases by
    number, except that the highest id comes last. The list thus starts glMultiTexCoord1dARB and ends
    glNamedBufferStorageEXT, glClearNamedBufferDataEXT, glClearNamedBufferSubDataEXT."""
    with_ids = [f for f in functions if f.category == "extension" and not f.is_alias]
    aliases = [f for f in functions if f.is_alias]
    return with_ids[:-1] + aliases + with_ids[-1:]


def _mark_overrides(by_name, overrides, source_root):
    """Each hand-written recorder must be a function of its own, defined in the file that names it."""
    texts = {}
    for entry in overrides:
        function = by_name.get(entry.name)
        if function is None:
            raise GenerationError(f"{entry.context}: {entry.name} is not in the table")
        if function.is_alias:
            raise GenerationError(f"{entry.context}: {entry.name} is an alias; override its target "
                                  f"{function.target.name}")
        function.override_file = entry.file
        if source_root is None:
            continue
        if entry.file not in texts:
            path = os.path.join(source_root, entry.file)
            if not os.path.isfile(path):
                raise GenerationError(f"{entry.context}: {entry.file} does not exist")
            with open(path, encoding="utf-8") as source:
                texts[entry.file] = source.read()
        if f"GLKestrel::{entry.name}(" not in texts[entry.file]:
            raise GenerationError(f"{entry.context}: {entry.file} does not define GLKestrel::{entry.name}")
