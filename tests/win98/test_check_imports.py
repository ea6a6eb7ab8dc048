#!/usr/bin/env python3
"""Tests of the Windows 95/98 import check. Usage: test_check_imports.py PROGRAM.exe OBJDUMP"""
import os
import subprocess
import sys
import tempfile
import unittest

import check_imports

here = os.path.dirname(os.path.abspath(__file__))
lists = os.path.join(here, "exports")
program, objdump = sys.argv[1], sys.argv[2]


def refused_names(imports):
    """The refused names of a check, as the report lines give them."""
    lines, count = check_imports.check(imports, lists)
    names = [r.strip()[len("refused: "):] for line in lines for r in line.split("\n") if "refused: " in r]
    names += [line.split(":")[0] + " (no such DLL)" for line in lines if "no such DLL" in line]
    return sorted(names), count


class ImportCheck(unittest.TestCase):
    def test_import_lists(self):
        # (imports, refused names): a DLL's name is matched without regard to case, as the loader does.
        cases = [
            ([("COMCTL32.DLL", "PropertySheetA"), ("comdlg32.dll", "GetSaveFileNameA"),
              ("KERNEL32.dll", "CreateFileA"), ("Shell32.dll", "SHBrowseForFolderA")], []),
            ([("USER32.dll", "AllowSetForegroundWindow"), ("USER32.dll", "SendDlgItemMessageA")],
             ["AllowSetForegroundWindow"]),
            ([("KERNEL32.dll", "SetHandleInformation")], ["SetHandleInformation (not implemented on 9x)"]),
            ([("KERNEL32.dll", "#17"), ("comctl32.dll", "DPA_Create")], ["#17 (by ordinal)", "DPA_Create"]),
            ([("crtdll.dll", "__iob_func"), ("crtdll.dll", "_scprintf"), ("crtdll.dll", "strncmp")],
             ["__iob_func", "_scprintf"]),
            ([("ole32.dll", "CoTaskMemFree"), ("ntdll.dll", "RtlGetVersion"), ("msvcrt.dll", "strncmp")],
             ["msvcrt.dll (no such DLL)", "ntdll.dll (no such DLL)", "ole32.dll (no such DLL)"]),
            # Wide-character forms: the few Windows 95 implements pass, a stub is refused.
            ([("KERNEL32.dll", "lstrlenW"), ("USER32.dll", "MessageBoxW"), ("KERNEL32.dll", "MultiByteToWideChar"),
              ("KERNEL32.dll", "CreateSemaphoreW"), ("KERNEL32.dll", "GetModuleHandleW")],
             ["CreateSemaphoreW (a stub on 9x)", "GetModuleHandleW (a stub on 9x)"]),
        ]
        for imports, expected in cases:
            names, _ = refused_names(imports)
            self.assertEqual(names, sorted(expected), imports)

    def test_the_posix_thread_build_is_refused(self):
        # The imports of the i686 program as the posix-thread compilers linked it.
        imports = check_imports.read_imports(os.path.join(here, "posix_build_imports.txt"))
        self.assertEqual(len(imports), 160)
        names, _ = refused_names(imports)
        self.assertEqual(names, ["AddVectoredExceptionHandler", "GetHandleInformation (not implemented on 9x)",
                                 "GetModuleHandleW (a stub on 9x)", "GetTickCount64", "IsDebuggerPresent",
                                 "RemoveVectoredExceptionHandler", "SetProcessAffinityMask",
                                 "TryEnterCriticalSection", "msvcrt.dll (no such DLL)"])
        exit_code = check_imports.main(["check_imports.py", os.path.join(here, "posix_build_imports.txt")])
        self.assertEqual(exit_code, 1)

    def test_the_program_reads_as_objdump_reads_it(self):
        dump = subprocess.run([objdump, "-p", program], check=True, capture_output=True, text=True).stdout
        expected, dll = [], None
        for line in dump.split("The Import Tables", 1)[1].splitlines():
            if "DLL Name:" in line:
                dll = line.split()[-1]
            elif dll and line.startswith("\t") and len(line.split()) == 3 and line.split()[1].isdigit():
                expected.append((dll, line.split()[2]))
            elif line.startswith("The ") or line.startswith("PE File"):
                break
        self.assertGreater(len(expected), 50)
        self.assertEqual(check_imports.read_imports(program), expected)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
