#!/usr/bin/env python3
"""Checks that Windows programs stay runnable from Windows 95 and NT 4.0 on: 32-bit x86, GUI
subsystem version 4.0, importing only from the allowed DLLs and only functions on the list.

Usage: check_imports.py LIST PROGRAM...      (--print PROGRAM... lists the imports instead)

The list has one "DLL Function" a line; "#" starts a comment. Add a function only deliberately,
with a comment saying in which Windows release it first appeared.
"""
import struct
import sys

ALLOWED_DLLS = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "SHELL32.DLL", "MSVCRT.DLL", "COMDLG32.DLL", "COMCTL32.DLL"}
IMAGE_FILE_MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
SUBSYSTEM_WINDOWS_GUI = 2


class PeFile:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        if self.data[:2] != b"MZ":
            raise ValueError(f"{path}: not an executable")
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError(f"{path}: no PE header")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", self.data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", self.data, optional)[0]
        self.subsystem_version = struct.unpack_from("<HH", self.data, optional + 48)
        self.subsystem = struct.unpack_from("<H", self.data, optional + 68)[0]
        self.import_rva = struct.unpack_from("<I", self.data, optional + 96 + 8)[0]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            _, virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from(
                "<8sIIII", self.data, table + 40 * i)
            self.sections.append((virtual_address, max(virtual_size, raw_size), raw_pointer))

    def offset(self, rva):
        for address, size, pointer in self.sections:
            if address <= rva < address + size:
                return pointer + rva - address
        raise ValueError(f"address 0x{rva:x} lies in no section")

    def string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        """(DLL, function) pairs; functions imported by ordinal appear as '#n'."""
        found = []
        descriptor = self.offset(self.import_rva)
        while True:
            lookup, _, _, name, thunks = struct.unpack_from("<IIIII", self.data, descriptor)
            if name == 0:
                return found
            dll = self.string(name)
            entry = self.offset(lookup or thunks)
            while True:
                value = struct.unpack_from("<I", self.data, entry)[0]
                if value == 0:
                    break
                found.append((dll, f"#{value & 0xFFFF}" if value & 0x80000000 else self.string(value + 2)))
                entry += 4
            descriptor += 20


def read_list(path):
    allowed = set()
    with open(path, encoding="utf-8") as f:
        for line in f:
            words = line.split("#", 1)[0].split()
            if words:
                allowed.add((words[0].upper(), words[1]))
    return allowed


def check(program, allowed):
    problems = []
    pe = PeFile(program)
    if pe.machine != IMAGE_FILE_MACHINE_I386 or pe.magic != PE32_MAGIC:
        problems.append("not a 32-bit x86 program")
    if pe.subsystem != SUBSYSTEM_WINDOWS_GUI:
        problems.append(f"subsystem {pe.subsystem}, not the Windows GUI")
    if pe.subsystem_version != (4, 0):
        problems.append(f"subsystem version {pe.subsystem_version[0]}.{pe.subsystem_version[1]}, not 4.0")
    for dll, function in pe.imports():
        if dll.upper() not in ALLOWED_DLLS:
            problems.append(f"imports from {dll} ({function})")
        elif (dll.upper(), function) not in allowed:
            problems.append(f"imports {dll} {function}, which is not on the list")
    return problems


def main(argv):
    if len(argv) >= 2 and argv[0] == "--print":
        for dll, function in sorted({i for program in argv[1:] for i in PeFile(program).imports()}):
            print(dll, function)
        return 0
    if len(argv) < 2:
        print(__doc__)
        return 2
    allowed = read_list(argv[0])
    failed = False
    for program in argv[1:]:
        problems = check(program, allowed)
        for problem in problems:
            print(f"{program}: {problem}")
        print(f"{program}: {'FAILED' if problems else 'passed'} ({len(PeFile(program).imports())} imports)")
        failed = failed or bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
