#!/usr/bin/env python3
"""Generates the per-function code of GLKESTREL.dll from the API table (the data files beside this
script) and the Khronos registry: the export list, the API table in C++, the recorder declarations of
GLBaseCapturer, the entry points with their recorders, the description of every record for capture
readers, and for the tests the call shape of every function and the fake system library's exports.
Stops with a message naming the culprit when the table is inconsistent."""

import argparse
import os
import sys

# Run by the build: leave no bytecode caches in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from kgen import blocks, emit_def, emit_description, emit_recorders, emit_replay, emit_table, emit_test_support, enums, \
    model, replay_rules, signatures, tables, types  # noqa: E402
from kgen.errors import GenerationError  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def load(data_dir, registry_dir):
    path = lambda name: os.path.join(data_dir, name)  # noqa: E731
    return model.build(tables.read_ids(path("api_ids.txt")),
                       tables.read_aliases(path("api_aliases.txt")),
                       tables.read_system_exports(path("system_exports.txt")),
                       tables.read_vector_forms(path("vector_forms.txt")),
                       signatures.read_registry(registry_dir),
                       signatures.read_prototypes(path("extra_signatures.txt")),
                       types.read_types(path("types.txt")),
                       blocks.read_payload_rules(path("payload_blocks.txt")),
                       tables.read_overrides(path("overrides.txt")),
                       os.path.dirname(os.path.abspath(data_dir)))


REPLAY_FILES = 4


def outputs(api, entry_files, enum_names, rules, target):
    files = {
        "gen/ReplayTable.h": emit_replay.emit_table_header(),
        "gen/ReplayTable.cpp": emit_replay.emit_table_source(api, rules),
        "gen/ApiDescription.h": emit_description.emit_header(api),
        "gen/ApiDescription.cpp": emit_description.emit_source(api),
        "gen/EnumNames.h": emit_description.emit_enum_header(enum_names),
        "gen/EnumNames.cpp": emit_description.emit_enum_source(enum_names),
        "GLKESTREL.def": emit_def.emit_def(api, target),
        "gen/ApiTable.h": emit_table.emit_header(api),
        "gen/ApiTable.cpp": emit_table.emit_source(api),
        "gen/Interceptors.h": emit_recorders.emit_interceptor_declarations(api),
        "recorder_decls.inc": emit_recorders.emit_declarations(api),
        "kestrel_recorders.inc": emit_recorders.emit_override_declarations(api),
        "test/CallShapes.inc": emit_test_support.emit_call_shapes(api),
        "test/FakeOpenGL32.def": emit_test_support.emit_fake_def(api, "FakeOpenGL32.dll", target),
    }
    for part in range(entry_files):
        files[f"gen/entry_points_{part}.cpp"] = emit_recorders.emit_entry_points(api, part, entry_files)
    for part in range(REPLAY_FILES):
        files[f"gen/replay_calls_{part}.cpp"] = emit_replay.emit_functions(api, rules, part, REPLAY_FILES)
    return files


def describe(api, name):
    function = api.by_name.get(name)
    if function is None:
        raise GenerationError(f"{name} is not in the table")
    alias = f"alias {function.alias_number} of {function.target.name}" if function.is_alias else \
        f"GLKestrel recorder in {function.override_file}" if function.overridden else "generated recorder"
    print(f"{function.name}: index {function.index}, id 0x{function.api_id:08X}, {alias}, {function.category}, "
          f"{function.arg_bytes} argument bytes, fixed part {function.fixed_part_size} bytes, "
          f"signature from {function.source}")
    vector = "fixed-count vector form" if function.fixed_vector else \
        "fixed-count form recording the address" if function.vector_by_address else ""
    if vector:
        print(f"  {vector}")
    print(f"  result {function.result.cpp}: width {function.result.width}, kind {function.result.base.kind}")
    for p in function.params:
        facts = [f"stack {p.stack}", f"width {p.width}", f"kind {'pointer' if p.type.pointer_depth else p.type.base.kind}"]
        if p.type.pointee is not None:
            facts.append(f"pointee {p.type.pointee.name} ({p.type.pointee.width or '?'} bytes, "
                         f"{'input' if p.type.points_to_const else 'output'})")
        if p.fixed_count:
            facts.append(f"{p.fixed_count} values in place of the pointer")
        if p.length:
            facts.append(f"len {p.length}")
        print(f"  {p.cpp} {p.name}: {', '.join(facts)}")
    layout = function.layout
    fields = ", ".join(f"{f.name} {f.kind}" + (f"[{f.count}]" if f.count > 1 else "") + f" {f.width}" +
                       (" (result)" if f.is_result else "") for f in layout.fields)
    print(f"  record: fixed part {layout.fixed_size} bytes: {fields or 'empty'}")
    if layout.block:
        block = layout.block
        print(f"  then the data of {block.source.name}: {block.text} bytes of {block.element_kind} "
              f"{block.element_width}")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--registry", required=True, help="folder with gl.xml, wgl.xml and glx.xml")
    parser.add_argument("--out", help="folder to write the generated files into")
    parser.add_argument("--data", default=HERE, help="folder of the API table's data files")
    parser.add_argument("--entry-files", type=int, default=8, help="number of entry-point source files")
    parser.add_argument("--target", default="i686", choices=emit_def.TARGETS,
                        help="the processor the export list is for (its symbol decoration)")
    parser.add_argument("--describe", nargs="+", metavar="NAME", help="print the model of these functions")
    args = parser.parse_args()
    try:
        api = load(args.data, args.registry)
        if args.describe:
            for name in args.describe:
                describe(api, name)
            return 0
        if not args.out:
            parser.error("--out is required unless --describe is given")
        if args.entry_files < 1:
            parser.error("--entry-files must be at least 1")
        enum_names = enums.read_enum_names(args.registry)
        rules = replay_rules.read_replay_rules(os.path.join(args.data, "replay_calls.txt"))
        replay_rules.check(rules, api)
        for relative, text in outputs(api, args.entry_files, enum_names, rules, args.target).items():
            path = os.path.join(args.out, relative)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            # An output whose text is unchanged keeps its time stamp: what it feeds is not rebuilt.
            if os.path.exists(path):
                with open(path, encoding="utf-8", newline="\n") as old:
                    if old.read() == text:
                        continue
            with open(path, "w", encoding="utf-8", newline="\n") as out:
                out.write(text)
    except GenerationError as error:
        print(f"generate.py: error: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
