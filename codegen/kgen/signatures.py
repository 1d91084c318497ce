"""Function signatures before the model resolves their types: from the Khronos registry XML and from
the project's own table of C prototypes for the names the registry lacks."""

import os
import re
import xml.etree.ElementTree as ET
from dataclasses import dataclass, field

from .ctype import CType, parse_ctype
from .errors import GenerationError, data_lines

# The registry files that describe commands; the first one that has a name gives its signature.
REGISTRY_FILES = ("gl.xml", "wgl.xml", "glx.xml")


@dataclass
class RawParam:
    name: str
    ctype: CType
    length: str = ""   # the registry's len attribute: "n", "COMPSIZE(pname)", "count*4", ...
    group: str = ""    # the registry's enum group
    object_class: str = ""  # the registry's class: the kind of GL object the value names


@dataclass
class Signature:
    name: str
    result: CType
    params: list = field(default_factory=list)
    source: str = ""   # where it came from, for messages and for the model's description
    result_class: str = ""  # the kind of GL object the result names


def _split_named(element, context):
    """The type text of a <proto> or <param>, and the name inside it."""
    name = element.find("name")
    if name is None:
        raise GenerationError(f"{context}: element without a name")
    text = "".join(element.itertext())
    tail = (name.tail or "").strip()
    if tail:
        raise GenerationError(f"{context}: unexpected '{tail}' after the name {name.text}")
    type_text = text[: text.rfind(name.text)]
    return name.text, type_text


def read_registry(directory):
    signatures = {}
    for file_name in REGISTRY_FILES:
        path = os.path.join(directory, file_name)
        try:
            root = ET.parse(path).getroot()
        except (OSError, ET.ParseError) as error:
            raise GenerationError(f"{path}: cannot read the registry: {error}")
        for commands in root.findall("commands"):
            for command in commands.findall("command"):
                name, result_text = _split_named(command.find("proto"), f"{file_name}: command")
                if name in signatures:
                    continue
                context = f"{file_name}: {name}"
                params = []
                for param in command.findall("param"):
                    param_name, type_text = _split_named(param, context)
                    params.append(RawParam(param_name, parse_ctype(type_text, f"{context}({param_name})"),
                                           param.get("len", ""), param.get("group", ""),
                                           param.get("class", "")))
                signatures[name] = Signature(name, parse_ctype(result_text, context), params, file_name,
                                             command.find("proto").get("class", ""))
    return signatures


_PROTOTYPE = re.compile(r"^(?P<result>.+?)\b(?P<name>[A-Za-z_][A-Za-z_0-9]*)\s*\((?P<params>.*)\)\s*;$")


def read_prototypes(path):
    """C prototypes, one per line: "BOOL wglSwapBuffers(HDC hdc);". '#' starts a comment line."""
    signatures = {}
    for context, line in data_lines(path):
        match = _PROTOTYPE.match(line)
        if not match:
            raise GenerationError(f"{context}: not a prototype: {line}")
        name = match["name"]
        if name in signatures:
            raise GenerationError(f"{context}: {name} has a second prototype")
        params = []
        text = match["params"].strip()
        if text not in ("", "void"):
            for piece in text.split(","):
                piece_match = re.match(r"^(?P<type>.+?)\b(?P<name>[A-Za-z_][A-Za-z_0-9]*)$", piece.strip())
                if not piece_match:
                    raise GenerationError(f"{context}: parameter '{piece.strip()}' of {name} has no name")
                params.append(RawParam(piece_match["name"],
                                       parse_ctype(piece_match["type"], f"{context}: {name}")))
        signatures[name] = Signature(name, parse_ctype(match["result"], f"{context}: {name}"), params,
                                     os.path.basename(path))
    return signatures
