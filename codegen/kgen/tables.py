"""Readers of the API table's data files: ids, alias numbers, the system library's other exports and
the fixed-count vector forms. Each reader checks its own file and names the line it rejects."""

import re
from dataclasses import dataclass

from .errors import GenerationError, data_lines

_NAME = re.compile(r"^[A-Za-z_][A-Za-z_0-9]*$")


def _lines(path):
    for context, line in data_lines(path):
        yield context, line.split()


def _check_name(context, name):
    if not _NAME.match(name):
        raise GenerationError(f"{context}: '{name}' is not a function name")


@dataclass
class IdEntry:
    api_id: int
    name: str
    vendor: bool
    context: str


@dataclass
class AliasEntry:
    number: int
    name: str
    target: str
    vendor: bool
    context: str


@dataclass
class SystemExport:
    role: str          # "wgl", "pass" or "exit"
    name: str
    arg_bytes: int     # for "pass" and "exit"; a wgl function's come from its signature
    context: str


def read_ids(path):
    entries, by_id, by_name = [], {}, {}
    for context, fields in _lines(path):
        if len(fields) not in (2, 3) or (len(fields) == 3 and fields[2] != "vendor"):
            raise GenerationError(f"{context}: expected '<id> <name> [vendor]'")
        try:
            api_id = int(fields[0], 16)
        except ValueError:
            raise GenerationError(f"{context}: '{fields[0]}' is not a hexadecimal id")
        name = fields[1]
        _check_name(context, name)
        if api_id in by_id:
            raise GenerationError(f"{context}: id 0x{api_id:08X} of {name} repeats (also {by_id[api_id].name})")
        if name in by_name:
            raise GenerationError(f"{context}: {name} repeats (also at {by_name[name].context})")
        if entries and api_id < entries[-1].api_id:
            raise GenerationError(f"{context}: id 0x{api_id:08X} of {name} is out of order")
        entry = IdEntry(api_id, name, len(fields) == 3, context)
        entries.append(entry)
        by_id[api_id] = by_name[name] = entry
    return entries


def read_aliases(path):
    entries, by_name = [], {}
    for context, fields in _lines(path):
        if len(fields) not in (3, 4) or (len(fields) == 4 and fields[3] != "vendor"):
            raise GenerationError(f"{context}: expected '<number> <alias> <target> [vendor]'")
        if not fields[0].isdigit():
            raise GenerationError(f"{context}: '{fields[0]}' is not an alias number")
        number, name, target = int(fields[0]), fields[1], fields[2]
        _check_name(context, name)
        _check_name(context, target)
        if number != len(entries):
            raise GenerationError(f"{context}: alias number {number} of {name} is out of sequence "
                                  f"(expected {len(entries)})")
        if name in by_name:
            raise GenerationError(f"{context}: alias {name} repeats (also at {by_name[name].context})")
        entry = AliasEntry(number, name, target, len(fields) == 4, context)
        entries.append(entry)
        by_name[name] = entry
    return entries


def read_system_exports(path):
    exports, names = [], set()
    for context, fields in _lines(path):
        role = fields[0]
        if role == "wgl" and len(fields) == 2:
            arg_bytes = 0
        elif role in ("pass", "exit") and len(fields) == 3 and fields[2].isdigit():
            arg_bytes = int(fields[2])
        else:
            raise GenerationError(f"{context}: expected 'wgl <name>', 'pass <name> <bytes>' or 'exit <name> <bytes>'")
        _check_name(context, fields[1])
        if fields[1] in names:
            raise GenerationError(f"{context}: {fields[1]} repeats")
        names.add(fields[1])
        exports.append(SystemExport(role, fields[1], arg_bytes, context))
    return exports


@dataclass
class VectorForms:
    counts: dict       # name -> values per pointer, for v forms whose name carries no count
    by_address: dict   # name -> context, fixed-count forms that record the address instead
    contexts: dict


def read_vector_forms(path):
    counts, by_address, contexts = {}, {}, {}
    for context, fields in _lines(path):
        if fields[0] == "count" and len(fields) == 3 and fields[2].isdigit():
            counts[fields[1]] = int(fields[2])
        elif fields[0] == "address" and len(fields) == 2:
            by_address[fields[1]] = context
        else:
            raise GenerationError(f"{context}: expected 'count <name> <n>' or 'address <name>'")
        if fields[1] in contexts:
            raise GenerationError(f"{context}: {fields[1]} repeats")
        contexts[fields[1]] = context
    return VectorForms(counts, by_address, contexts)


@dataclass
class OverrideEntry:
    name: str
    file: str          # the source file, from the repository's root, that holds its recorder
    context: str


def read_overrides(path):
    """overrides.txt: a "[file]" line, then the names of the functions whose recorders that file holds."""
    entries, seen, current = [], {}, None
    for context, line in data_lines(path):
        if line.startswith("["):
            if not line.endswith("]") or len(line) < 3:
                raise GenerationError(f"{context}: expected '[<source file>]'")
            current = line[1:-1].strip()
            continue
        if current is None:
            raise GenerationError(f"{context}: a function before the first '[<source file>]' line")
        for name in line.split():
            _check_name(context, name)
            if name in seen:
                raise GenerationError(f"{context}: {name} is overridden twice (also {seen[name]})")
            seen[name] = context
            entries.append(OverrideEntry(name, current, context))
    return entries
