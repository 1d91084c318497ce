"""The values that carry an enum only for some values of another field (enum_values.txt): a texture
parameter's value is an enum for GL_TEXTURE_MIN_FILTER, a number for GL_TEXTURE_MAX_LEVEL."""

import shlex

from .blocks import expand
from .errors import GenerationError, data_lines


def _value(word, context):
    try:
        return int(word, 0)
    except ValueError:
        raise GenerationError(f"{context}: '{word}' is not a number")


def read_enum_values(path):
    """set <name> <value or first-last>...; enum <field>[,<field>...] when <selector> in <set> <function>..."""
    sets, rules = {}, []
    for context, line in data_lines(path):
        words = shlex.split(line)
        if words[0] == "set" and len(words) >= 3:
            values = []
            for word in words[2:]:
                first, dash, last = word.partition("-")
                low = _value(first, context)
                values += list(range(low, _value(last, context) + 1)) if dash else [low]
            sets[words[1]] = sorted(set(values))
        elif words[0] == "enum" and len(words) >= 7 and words[2] == "when" and words[4] == "in":
            if words[5] not in sets:
                raise GenerationError(f"{context}: no set {words[5]} before this line")
            names = [name for pattern in words[6:] for name in expand(pattern)]
            rules.append((words[1].split(","), words[3], sets[words[5]], names, context))
        else:
            raise GenerationError(f"{context}: expected 'set <name> <values>' or "
                                  f"'enum <fields> when <selector> in <set> <functions>'")
    return rules


def _apply(function, fields, blocks, rule, strict=True):
    targets, selector, values, _, context = rule
    names = [f.name for f in fields]
    if selector not in names:
        if not strict:
            return
        raise GenerationError(f"{context}: {function.name} has no field {selector}")
    found = False
    for item in list(fields) + list(blocks):
        if item.name in targets and item.kind != "Pointer":
            item.enum_when = (names.index(selector), values)
            found = True
    if not found and strict:
        raise GenerationError(f"{context}: {function.name} has none of {', '.join(targets)}")


def assign(api, rules):
    """Marks the fields and blocks of the functions named (an alias gets its own fields later)."""
    for rule in rules:
        matched = False
        for name in rule[3]:
            function = api.by_name.get(name)
            if function is None:
                continue
            matched = True
            if not function.is_alias:
                _apply(function, function.layout.fields, function.layout.blocks, rule)
        if not matched:
            raise GenerationError(f"{rule[4]}: names no function of the table")


def rules_for(name, rules):
    return [rule for rule in rules if name in rule[3]]


def apply_to(function, fields, blocks, rules):
    """An alias's own fields: its target's layout may leave the rule nothing to mark."""
    for rule in rules_for(function.name, rules):
        _apply(function, fields, blocks, rule, strict=False)
