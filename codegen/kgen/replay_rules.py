"""The replay table (replay_calls.txt): which functions the replay re-issues by generated code, which by
hand, which it leaves out as read-backs or cannot re-issue, where hand-written recorders put their
data, and the object classes the registry does not give."""

import re
import shlex
from dataclasses import dataclass, field

from .errors import GenerationError, data_lines

# The registry's object classes (and this table's own), as the replay's ObjectKind names them.
# Shaders and programs share one name space in the GL, so they share one kind.
OBJECT_KINDS = {
    "texture": "Texture", "buffer": "Buffer", "program": "ShaderObject", "shader": "ShaderObject",
    "query": "Query", "vertex array": "VertexArray", "framebuffer": "Framebuffer",
    "renderbuffer": "Renderbuffer", "sampler": "Sampler", "display list": "DisplayList",
    "display-list": "DisplayList", "transform feedback": "TransformFeedback",
    "program pipeline": "ProgramPipeline", "sync": "Sync", "location": "Location", "attribute": "Attribute",
}


@dataclass
class DataRule:
    param: str
    binding: int
    context: str


@dataclass
class ReplayRules:
    engine: dict = field(default_factory=dict)    # name -> context
    query: dict = field(default_factory=dict)
    call: dict = field(default_factory=dict)
    skip: dict = field(default_factory=dict)      # name -> (reason, context)
    data: dict = field(default_factory=dict)      # name -> DataRule
    classes: dict = field(default_factory=dict)   # (name, param or "result") -> (kind, context)

    def all_names(self):
        for table in (self.engine, self.query, self.call, self.skip, self.data):
            for name, value in table.items():
                yield name, value if isinstance(value, str) else value[1] if isinstance(value, tuple) \
                    else value.context
        for (name, _), (_, context) in self.classes.items():
            yield name, context


_NAME = re.compile(r"^[A-Za-z_][A-Za-z_0-9]*$")


def _names(context, words):
    for word in words:
        if not _NAME.match(word):
            raise GenerationError(f"{context}: '{word}' is not a function name")
    return words


def read_replay_rules(path):
    rules = ReplayRules()
    for context, line in data_lines(path):
        words = shlex.split(line)
        verb, rest = words[0], words[1:]
        if verb in ("engine", "query", "call"):
            for name in _names(context, rest):
                getattr(rules, verb)[name] = context
        elif verb == "skip":
            if len(rest) < 2:
                raise GenerationError(f"{context}: skip needs a reason and functions")
            for name in _names(context, rest[1:]):
                rules.skip[name] = (rest[0], context)
        elif verb == "data":
            if len(rest) < 2:
                raise GenerationError(f"{context}: data needs a parameter and functions")
            param, _, binding = rest[0].partition(":")
            try:
                binding_value = int(binding, 16) if binding else 0
            except ValueError:
                raise GenerationError(f"{context}: '{binding}' is not a binding name in hex")
            for name in _names(context, rest[1:]):
                rules.data[name] = DataRule(param, binding_value, context)
        elif verb == "class":
            if len(rest) < 2 or rest[0] not in OBJECT_KINDS:
                raise GenerationError(f"{context}: class needs a known kind and <function>.<param> words")
            for word in rest[1:]:
                name, dot, param = word.partition(".")
                if not dot:
                    raise GenerationError(f"{context}: '{word}' is not <function>.<param>")
                rules.classes[(_names(context, [name])[0], param)] = (rest[0], context)
        else:
            raise GenerationError(f"{context}: unknown rule '{verb}'")
    return rules


def check(rules, api):
    """Every name must be a function with an id of its own; every named parameter must exist."""
    for name, context in rules.all_names():
        function = api.by_name.get(name)
        if function is None:
            raise GenerationError(f"{context}: {name} is not in the table")
        if function.is_alias:
            raise GenerationError(f"{context}: {name} is an alias; name its target {function.target.name}")
    for name, rule in rules.data.items():
        if rule.param not in [p.name for p in api.by_name[name].params]:
            raise GenerationError(f"{rule.context}: {name} has no parameter {rule.param}")
    for (name, param), (_, context) in rules.classes.items():
        function = api.by_name[name]
        if param != "result" and param not in [p.name for p in function.params]:
            raise GenerationError(f"{context}: {name} has no parameter {param}")
        if param == "result" and function.returns_void:
            raise GenerationError(f"{context}: {name} has no result")
