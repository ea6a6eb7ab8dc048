#!/usr/bin/env python3
"""Refuses a program whose imports Windows 95/98 cannot resolve.

Usage: check_imports.py PROGRAM.exe|IMPORTS.txt [--lists DIR]

Reads every DLL and function a 32-bit PE program imports (or a saved list, one "DLL function"
a line), prints per DLL the number of functions and every refused name, and exits 1 if any DLL
has no list here (not every Windows 95/98 has it), any function is not on its DLL's list, a
function is on unsupported.txt (exported but not implemented on 9x), a function is a
wide-character form that 9x exports only as a stub (not on wide.txt), or a function is imported
by ordinal.
"""
import os
import struct
import sys


def read_pe_imports(data):
    """Returns [(dll, function or '#ordinal')] from the import directory of a PE32/PE32+ image."""
    if data[:2] != b"MZ":
        raise ValueError("not a PE file")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    sections_count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    wide = {0x10B: False, 0x20B: True}[magic]
    directories = optional + (112 if wide else 96)
    import_rva = struct.unpack_from("<I", data, directories + 8)[0]
    sections = []
    for i in range(sections_count):
        size, rva, raw_size, raw = struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8)
        sections.append((rva, max(size, raw_size), raw))

    def offset(address):
        for rva, size, raw in sections:
            if rva <= address < rva + size:
                return raw + address - rva
        raise ValueError("address 0x%x is in no section" % address)

    def text(address):
        start = offset(address)
        return data[start:data.index(b"\0", start)].decode("ascii")

    imports = []
    descriptor = offset(import_rva) if import_rva else None
    while descriptor is not None:
        lookup, _, _, name, first = struct.unpack_from("<IIIII", data, descriptor)
        if name == 0:
            break
        dll = text(name)
        thunk = offset(lookup or first)
        entry_size, ordinal_flag = (8, 1 << 63) if wide else (4, 1 << 31)
        while True:
            entry = struct.unpack_from("<Q" if wide else "<I", data, thunk)[0]
            if entry == 0:
                break
            imports.append((dll, "#%d" % (entry & 0xFFFF) if entry & ordinal_flag else text((entry & 0x7FFFFFFF) + 2)))
            thunk += entry_size
        descriptor += 20
    return imports


def read_list(path):
    """Names of a list file: one a line; '#' starts a comment."""
    with open(path, encoding="ascii") as f:
        return {line.split("#", 1)[0].strip() for line in f} - {""}


def read_imports(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] == b"MZ":
        return read_pe_imports(data)
    return [tuple(line.split()) for line in data.decode("ascii").splitlines() if line.strip()]


def is_wide(function, exported):
    """A wide-character form: the name ends in W and its DLL also exports the ANSI form."""
    return function.endswith("W") and function[:-1] + "A" in exported


def check(imports, lists_dir):
    """Returns (report lines, refused count)."""
    unsupported = read_list(os.path.join(lists_dir, "unsupported.txt"))
    wide = read_list(os.path.join(lists_dir, "wide.txt"))
    by_dll = {}
    for dll, function in imports:
        by_dll.setdefault(dll, []).append(function)
    lines, refused_total = [], 0
    for dll in sorted(by_dll, key=str.lower):
        functions = by_dll[dll]
        list_path = os.path.join(lists_dir, dll.lower().removesuffix(".dll") + ".txt")
        if not os.path.exists(list_path):
            lines.append("%s: %d functions; REFUSED: no such DLL on every Windows 95/98" % (dll, len(functions)))
            refused_total += len(functions)
            continue
        exported = read_list(list_path)
        refused = []
        for function in functions:
            if function.startswith("#"):
                refused.append(function + " (by ordinal)")
            elif function not in exported:
                refused.append(function)
            elif function in unsupported:
                refused.append(function + " (not implemented on 9x)")
            elif is_wide(function, exported) and function not in wide:
                refused.append(function + " (a stub on 9x)")
        lines.append("%s: %d functions, %d refused%s" % (dll, len(functions), len(refused),
                                                        "".join("\n  refused: " + r for r in refused)))
        refused_total += len(refused)
    return lines, refused_total


def main(argv):
    args = argv[1:]
    lists_dir = os.path.join(os.path.dirname(os.path.abspath(__file__)), "exports")
    if "--lists" in args:
        at = args.index("--lists")
        lists_dir = args[at + 1]
        del args[at:at + 2]
    if len(args) != 1:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    imports = read_imports(args[0])
    lines, refused = check(imports, lists_dir)
    print("\n".join(lines))
    print("%s: %d imports, %d refused" % (os.path.basename(args[0]), len(imports), refused))
    return 1 if refused else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
