#!/usr/bin/env python3
"""Tests of the 486 instruction check. Usage: test_check_instructions.py PROGRAM.exe SYMBOLS.exe OBJDUMP"""
import os
import shutil
import struct
import sys
import tempfile
import unittest

import check_instructions

here = os.path.dirname(os.path.abspath(__file__))
program, symbols, objdump = sys.argv[1], sys.argv[2], sys.argv[3]


def refused(text):
    return [(function, instruction) for function, _, instruction, _ in check_instructions.check_disassembly(text)]


class InstructionCheck(unittest.TestCase):
    def test_instructions(self):
        # (objdump's text of an instruction, refused)
        cases = [
            ("cmovne %edi,%eax", True), ("fcmovbe %st(1),%st", True), ("fcomip %st(1),%st", True),
            ("fucomi %st(1),%st", True), ("nopw 0x0(%eax,%eax,1)", True), ("cs nopw 0x0(%eax,%eax,1)", True),
            ("nopl 0x0(%eax)", True), ("cpuid", True), ("rdtsc", True), ("cmpxchg8b (%esi)", True),
            ("lock cmpxchg8b (%esi)", True), ("tzcnt %ebx,%ecx", True), ("movq %mm0,(%eax)", True),
            ("pxor %xmm0,%xmm0", True), ("vmovdqu %ymm1,(%eax)", True), ("ldmxcsr (%esp)", True),
            ("sysenter", True),
            # The 486 has these: the 387's compares, bswap, cmpxchg, xadd; and ud2 faults anyway.
            ("fcomp %st(1)", False), ("fucompp", False), ("fxch %st(1)", False), ("bswap %eax", False),
            ("lock cmpxchg %ecx,(%edx)", False), ("xadd %eax,(%ecx)", False), ("nop", False),
            ("xchg %ax,%ax", False), ("lea 0x0(%esi,%eiz,1),%esi", False), ("rep stos %eax,%es:(%edi)", False),
            ("ud2", False), ("(bad)", False),
        ]
        for instruction, expected in cases:
            self.assertEqual(check_instructions.refusal(instruction) is not None, expected, instruction)

    def test_disassemblies(self):
        # (objdump -d text, refused (function, instruction)): raw bytes or not, a long instruction's
        # second line of bytes, and data the linker puts in the code section.
        cases = [
            ("00401000 <_f>:\n  401000:\t0f 44 cb             \tcmove  %ebx,%ecx\n"
             "  401003:\t66 89 84 24 8c 00 00 \tmov    %ax,0x8c(%esp)\n  40100a:\t00 \n",
             [("_f", "cmove %ebx,%ecx")]),
            ("00401000 <_f>:\n  401000:\tcmove  %ebx,%ecx\n  401003:\tret\n", [("_f", "cmove %ebx,%ecx")]),
            ("00408e60 <__CTOR_LIST__>:\n  408e60:\t(bad)\n  408e64:\tcmovg  0x0(%eax),%eax\n"
             "00408e68 <__DTOR_LIST__>:\n  408e68:\tcmovg  0x0(%eax),%eax\n"
             "00408e70 <_g>:\n  408e70:\tcmovg  %eax,%eax\n",
             [("_g", "cmovg %eax,%eax")]),
        ]
        for text, expected in cases:
            self.assertEqual(refused(text), expected, text)

    def test_saved_disassemblies(self):
        with open(os.path.join(here, "pentium_pro_disassembly.txt")) as f:
            self.assertEqual(refused(f.read()), [
                ("___tmainCRTStartup", "cmove %ebx,%ecx"),
                ("__Z10FormatFitsPKc14FormatArgumenti", "cmovne %edi,%eax"),
                ("___gdtoa", "fcomip %st(1),%st"),
                ("___trailz_D2A", "tzcnt (%eax),%eax")])
        self.assertEqual(check_instructions.main(["", os.path.join(here, "pentium_pro_disassembly.txt")]), 1)
        self.assertEqual(check_instructions.main(["", os.path.join(here, "i486_disassembly.txt")]), 0)

    def test_the_code_checked_is_the_code_that_ships(self):
        self.assertEqual(check_instructions.main(["", program, "--symbols", symbols, "--objdump", objdump]), 0)
        with tempfile.TemporaryDirectory() as folder:
            changed = os.path.join(folder, "changed.exe")
            shutil.copyfile(symbols, changed)
            with open(changed, "r+b") as f:
                data = f.read()
                pe = struct.unpack_from("<I", data, 0x3C)[0]
                table = pe + 24 + struct.unpack_from("<H", data, pe + 20)[0]
                raw = struct.unpack_from("<I", data, table + 20)[0]   # the first section: .text
                f.seek(raw + 16)
                f.write(bytes([data[raw + 16] ^ 0xFF]))
            self.assertEqual(check_instructions.main(["", program, "--symbols", changed, "--objdump", objdump]), 1)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
