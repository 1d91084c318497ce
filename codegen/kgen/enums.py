"""GLenum values and their names from gl.xml, one name per value for readers of a capture. Where
several names share a value the core name without a vendor suffix wins over an extension's, an enum
over a bitmask bit, and otherwise the registry's first."""

import os
import xml.etree.ElementTree as ET

from .errors import GenerationError


def _vendors(root):
    """The vendor suffixes: the second word of every extension's name (GL_ARB_..., GL_NV_...)."""
    vendors = set()
    for extension in root.iter("extension"):
        parts = extension.get("name", "").split("_")
        if len(parts) > 2 and parts[0] == "GL":
            vendors.add(parts[1])
    return vendors


def _has_suffix(name, vendors):
    return name.rsplit("_", 1)[-1] in vendors


def read_enum_names(directory):
    path = os.path.join(directory, "gl.xml")
    try:
        root = ET.parse(path).getroot()
    except (OSError, ET.ParseError) as error:
        raise GenerationError(f"{path}: cannot read the registry: {error}")
    vendors = _vendors(root)
    best = {}   # value -> (rank, name)
    order = 0
    for block in root.findall("enums"):
        if block.get("namespace", "GL") != "GL":
            continue
        bitmask = block.get("type") == "bitmask"
        for enum in block.findall("enum"):
            name, text = enum.get("name"), enum.get("value", "")
            if enum.get("api") not in (None, "gl") or enum.get("type") == "ull" or not name:
                continue
            try:
                value = int(text, 0)
            except ValueError:
                continue
            if not 0 <= value <= 0xFFFFFFFF:
                continue
            order += 1
            rank = (_has_suffix(name, vendors), bitmask, order)
            if value not in best or rank < best[value][0]:
                best[value] = (rank, name)
    return sorted((value, name) for value, (_, name) in best.items())
