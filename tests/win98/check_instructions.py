#!/usr/bin/env python3
"""Refuses a program with instructions that the processors of Windows 95/98 machines lack.

Usage: check_instructions.py PROGRAM.exe|DISASSEMBLY.txt [--symbols UNSTRIPPED.exe] [--objdump OBJDUMP]

Windows 95 and 98 run on the 486 and on the Pentium, Pentium MMX, AMD K5/K6 and Cyrix processors
most of their machines had. An instruction those lack ends the program with an invalid-opcode
fault. The check disassembles every code section of PROGRAM with objdump (or reads a saved
disassembly, objdump -d output) and refuses every instruction newer than the 486: the Pentium
Pro's conditional moves, floating-point conditional moves and compares into flags and long NOPs,
anything on an MMX, SSE or AVX register, and the later additions named below (cpuid, rdtsc,
cmpxchg8b, BMI, ...). It prints each refused instruction with the function it sits in and exits 1
if there is any.

PROGRAM is the file that ships, without symbols. --symbols names the same program as linked,
with its symbols: its code sections must be byte for byte those of PROGRAM (else the check
refuses), and it is what is disassembled, so that each instruction is named by its function and
the data the linker puts in the code section (the constructor lists) is not read as code.
"""
import os
import re
import struct
import subprocess
import sys

# Mnemonics (objdump's AT&T spelling, prefixes dropped) that begin a refused family.
REFUSED_FAMILIES = (
    "cmov",       # conditional moves (Pentium Pro)
    "fcmov",      # floating-point conditional moves (Pentium Pro)
    "fcomi",      # fcomi, fcomip: compares into EFLAGS (Pentium Pro)
    "fucomi",     # fucomi, fucomip
    "fisttp",     # SSE3
    "prefetch",   # SSE, 3DNow!
    "rdtsc",      # rdtsc (Pentium), rdtscp
    "xsave",      # xsave and its kin
    "xrstor",
)
# Single mnemonics that the 486 lacks.
REFUSED_MNEMONICS = {
    "nopw", "nopl",                                  # long NOP, 0F 1F (Pentium Pro)
    "cpuid", "rdmsr", "wrmsr", "rdpmc", "rsm", "cmpxchg8b",
    "sysenter", "sysexit", "syscall", "sysret",
    "emms", "femms", "fxsave", "fxrstor", "ldmxcsr", "stmxcsr",
    "lfence", "mfence", "sfence", "clflush", "movnti",
    "popcnt", "lzcnt", "tzcnt", "movbe", "crc32", "xgetbv", "rdrand", "rdseed",
    "andn", "bextr", "blsi", "blsmsk", "blsr", "bzhi", "mulx", "pdep", "pext", "rorx", "sarx",
    "shlx", "shrx", "adcx", "adox", "vzeroupper", "vzeroall",
}
# Instruction prefixes as objdump prints them before the mnemonic.
PREFIXES = {"lock", "rep", "repz", "repe", "repnz", "repne", "data16", "addr16", "data32", "addr32",
            "cs", "ds", "es", "fs", "gs", "ss", "notrack", "bnd"}
# MMX (%mm0-7), SSE (%xmm), AVX (%ymm, %zmm) registers.
VECTOR_REGISTER = re.compile(r"%[xyz]?mm\d")
# Labels of data that the linker places in the code section.
DATA_LABEL = re.compile(r"^_*(CTOR|DTOR)_LIST__$|^\.gcc_except_table$")

LABEL = re.compile(r"^[0-9a-f]+ <(.+)>:$")
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\t(.*)$")
RAW_BYTES = re.compile(r"^([0-9a-f]{2} )+\s*$")


def refusal(instruction):
    """Why the 486 cannot run the instruction (objdump's text of it), or None."""
    words = instruction.split()
    while words and words[0] in PREFIXES:
        words = words[1:]
    if not words:
        return None
    mnemonic = words[0]
    if mnemonic in REFUSED_MNEMONICS or mnemonic.startswith(REFUSED_FAMILIES):
        return mnemonic
    if VECTOR_REGISTER.search(" ".join(words[1:])):
        return "vector register"
    return None


def check_disassembly(text):
    """Returns [(function, address, instruction, reason)] of the refused instructions."""
    refused, function, data = [], "?", False
    for line in text.splitlines():
        label = LABEL.match(line)
        if label:
            function = label.group(1)
            data = DATA_LABEL.match(function) is not None
            continue
        found = INSTRUCTION.match(line)
        if not found or data:
            continue
        fields = found.group(2).split("\t")
        instruction = fields[-1]
        if len(fields) == 1 and RAW_BYTES.match(instruction):
            continue   # the rest of a long instruction's bytes
        reason = refusal(instruction)
        if reason:
            refused.append((function, found.group(1), " ".join(instruction.split()), reason))
    return refused


def code_sections(path):
    """{(virtual address, virtual size): bytes} of the executable sections of a PE file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"MZ":
        raise ValueError("%s: not a PE file" % path)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("%s: no PE signature" % path)
    count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    table = pe + 24 + optional_size
    sections = {}
    for i in range(count):
        size, rva, raw_size, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
        flags = struct.unpack_from("<I", data, table + 40 * i + 36)[0]
        if flags & 0x20000020:   # IMAGE_SCN_MEM_EXECUTE, IMAGE_SCN_CNT_CODE
            body = data[raw:raw + min(size, raw_size)]
            sections[(rva, size)] = body + b"\0" * (size - len(body))
    return sections


def disassemble(program, symbols, objdump):
    """objdump's disassembly of the code that ships: of symbols, once its code is program's."""
    source = program
    if symbols is not None:
        if code_sections(symbols) != code_sections(program):
            raise ValueError("%s does not hold the code of %s" % (symbols, program))
        source = symbols
    return subprocess.run([objdump, "-d", "--no-show-raw-insn", source], check=True,
                          capture_output=True, text=True).stdout


def main(argv):
    args = argv[1:]
    options = {"--symbols": None, "--objdump": "objdump"}
    for name in options:
        if name in args:
            at = args.index(name)
            options[name] = args[at + 1]
            del args[at:at + 2]
    if len(args) != 1:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    with open(args[0], "rb") as f:
        is_program = f.read(2) == b"MZ"
    if is_program:
        try:
            text = disassemble(args[0], options["--symbols"], options["--objdump"])
        except ValueError as error:
            print("REFUSED: %s" % error)
            return 1
    else:
        with open(args[0], encoding="utf-8") as f:
            text = f.read()
    refused = check_disassembly(text)
    counts = {}
    for function, address, instruction, reason in refused:
        print("refused: %s 0x%s: %s" % (function, address, instruction))
        counts[function] = counts.get(function, 0) + 1
    for function in sorted(counts):
        print("%s: %d refused" % (function, counts[function]))
    print("%s: %d instructions newer than the 486" % (os.path.basename(args[0]), len(refused)))
    return 1 if refused else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
