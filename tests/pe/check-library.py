#!/usr/bin/python3
"""Structural checks of a layout library with pefile, as a second reader
beside the tests' own: the header fields Windows looks at before it maps a
DLL, the one export, no imports, and base relocations that cover only
8-byte (or, for x86, 4-byte) fields pointing into the image.

    check-library.py DLL i386|amd64|arm64

Prints one line per problem and exits 1 when there is any, 77 when pefile
is missing (Debian: python3-pefile; run with /usr/bin/python3). With
--exports it prints the exported names, one a line, and checks nothing.
"""

import sys

try:
    import pefile
except ImportError:
    print("pefile is missing")
    sys.exit(77)

MACHINES = {"i386": 0x14C, "amd64": 0x8664, "arm64": 0xAA64}
DIR64 = pefile.RELOCATION_TYPE["IMAGE_REL_BASED_DIR64"]
HIGHLOW = pefile.RELOCATION_TYPE["IMAGE_REL_BASED_HIGHLOW"]
ABSOLUTE = pefile.RELOCATION_TYPE["IMAGE_REL_BASED_ABSOLUTE"]
# What Windows on ARM64 needs of an image it maps at a random address.
ARM64_DLL_FLAGS = ("IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE", "IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA",
                   "IMAGE_DLLCHARACTERISTICS_NX_COMPAT")


def exported_names(pe):
    if not hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        return []
    return [s.name.decode() for s in pe.DIRECTORY_ENTRY_EXPORT.symbols if s.name]


def check(pe, machine):
    problems = []
    fail = problems.append
    opt = pe.OPTIONAL_HEADER
    if pe.FILE_HEADER.Machine != MACHINES[machine]:
        fail(f"machine 0x{pe.FILE_HEADER.Machine:04X}, not {machine}")
    wide = machine != "i386"
    if opt.Magic != (0x20B if wide else 0x10B):
        fail(f"optional header magic 0x{opt.Magic:X}")
    if not pe.FILE_HEADER.IMAGE_FILE_DLL or not pe.FILE_HEADER.IMAGE_FILE_EXECUTABLE_IMAGE:
        fail("not an executable DLL")
    if pe.FILE_HEADER.IMAGE_FILE_RELOCS_STRIPPED:
        fail("relocations stripped")
    if opt.AddressOfEntryPoint != 0:
        fail("an entry point")
    if machine == "arm64":
        for flag in ARM64_DLL_FLAGS:
            if not getattr(opt, flag):
                fail(f"{flag} not set")
    if hasattr(pe, "DIRECTORY_ENTRY_IMPORT"):
        fail("imports")

    names = exported_names(pe)
    if names != ["KbdLayerDescriptor"]:
        fail(f"exports {names}")
    else:
        rva = pe.DIRECTORY_ENTRY_EXPORT.symbols[0].address
        section = pe.get_section_by_rva(rva)
        if section is None or not section.IMAGE_SCN_MEM_EXECUTE:
            fail("KbdLayerDescriptor is not in an executable section")

    wanted = DIR64 if wide else HIGHLOW
    count = 0
    for block in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", []):
        for entry in block.entries:
            if entry.type == ABSOLUTE:
                continue
            count += 1
            if entry.type != wanted:
                fail(f"relocation of type {entry.type} at RVA 0x{entry.rva:X}")
                continue
            value = pe.get_qword_at_rva(entry.rva) if wide else pe.get_dword_at_rva(entry.rva)
            if value is None or pe.get_section_by_rva(value - opt.ImageBase) is None:
                fail(f"the field at RVA 0x{entry.rva:X} does not point into a section")
    if count == 0:
        fail("no base relocations")
    return problems


def main():
    args = sys.argv[1:]
    if len(args) == 2 and args[0] == "--exports":
        print("\n".join(exported_names(pefile.PE(args[1]))))
        return 0
    if len(args) != 2 or args[1] not in MACHINES:
        print("usage: check-library.py DLL i386|amd64|arm64 | --exports DLL")
        return 2
    problems = check(pefile.PE(args[0]), args[1])
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
