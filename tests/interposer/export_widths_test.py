#!/usr/bin/env python3
"""The x86-64 recorder exports every entry point of the i686 one under its plain name: the system
library's names alike, and each interceptor `_inttrk_<name>@<bytes>` as `_inttrk_<name>`, both
reaching one function per name. Reads the export directories of the two DLL files (PE32 and PE32+)."""

import re
import struct
import sys
import unittest

I686_DLL = X86_64_DLL = None


def read_exports(path):
    """(machine, module name, {export name: function RVA}) from a PE file's export directory."""
    with open(path, "rb") as f:
        image = f.read()
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError(f"{path}: not a PE image")
    machine, sections, _, _, _, optional_size = struct.unpack_from("<HHIIIH", image, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}[magic]
    export_rva = struct.unpack_from("<I", image, directories)[0]
    table = optional + optional_size

    def offset(rva):
        for i in range(sections):
            _, virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from("<8sIIII", image, table + 40 * i)
            if virtual_address <= rva < virtual_address + max(virtual_size, raw_size):
                return rva - virtual_address + raw_pointer
        raise ValueError(f"{path}: RVA {rva:#x} in no section")

    def text(rva):
        at = offset(rva)
        return image[at:image.index(b"\0", at)].decode("ascii")

    (name_rva, base, function_count, name_count, functions, names, ordinals) = \
        struct.unpack_from("<IIIIIII", image, offset(export_rva) + 12)
    exports = {}
    for i in range(name_count):
        name = text(struct.unpack_from("<I", image, offset(names) + 4 * i)[0])
        ordinal = struct.unpack_from("<H", image, offset(ordinals) + 2 * i)[0]
        exports[name] = struct.unpack_from("<I", image, offset(functions) + 4 * ordinal)[0]
    return machine, text(name_rva), exports


def plain(name):
    """The x86-64 name of an i686 export: an interceptor loses its stdcall byte count."""
    match = re.fullmatch(r"(_inttrk_\w+)@\d+", name)
    return match.group(1) if match else name


class ExportWidths(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.i686 = read_exports(I686_DLL)
        cls.x64 = read_exports(X86_64_DLL)

    def test_machines_and_module_names(self):
        self.assertEqual(self.i686[0], 0x14C)
        self.assertEqual(self.x64[0], 0x8664)
        self.assertEqual(self.i686[1], "GLKESTREL.dll")
        self.assertEqual(self.x64[1], "GLKESTREL.dll")

    def test_every_export_under_its_plain_name(self):
        i686, x64 = self.i686[2], self.x64[2]
        self.assertEqual(len(i686), 3163)
        renamed = {plain(name) for name in i686}
        self.assertEqual(len(renamed), len(i686), "two i686 exports share a plain name")
        self.assertEqual(sorted(renamed - set(x64)), [], "missing from the x86-64 recorder")
        self.assertEqual(sorted(set(x64) - renamed), [], "only in the x86-64 recorder")
        self.assertEqual([n for n in x64 if "@" in n], [], "x86-64 names carry no decoration")
        interceptors = [n for n in i686 if n.startswith("_inttrk_")]
        self.assertEqual(len(interceptors), 2795)
        self.assertTrue(all(re.fullmatch(r"_inttrk_\w+@\d+", n) for n in interceptors))

    def test_system_names_share_code_with_their_interceptors_alike(self):
        # glClear and _inttrk_glClear@4 are one function in the i686 recorder; so must they be in the other.
        def twins(exports, key):
            by_name = {key(n): rva for n, rva in exports.items() if n.startswith("_inttrk_")}
            return {n for n, rva in exports.items() if not n.startswith("_inttrk_") and by_name.get(n) == rva}
        strip = lambda n: plain(n)[len("_inttrk_"):]  # noqa: E731
        i686_twins = twins(self.i686[2], strip)
        self.assertIn("glClear", i686_twins)
        self.assertIn("wglGetProcAddress", i686_twins)
        self.assertEqual(twins(self.x64[2], strip), i686_twins)


if __name__ == "__main__":
    I686_DLL, X86_64_DLL = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
