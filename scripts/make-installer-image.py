#!/usr/bin/env python3
"""Writes the smallest Windows program the real WinExec starts: a 32-bit PE image whose entry
point calls kernel32's ExitProcess(0). The example office's stand-in for the installer is made
by it, so that a real workstation would start it as the simulated one does (WinExec refuses a
file that is not an executable image with 11).

    scripts/make-installer-image.py [OUTPUT]

OUTPUT defaults to examples/office/server/APPS/VORNEX/bin/vxinst.exe. The bytes depend on
nothing but this script: no time stamp, no tool chain.
"""
import os
import struct
import sys

IMAGE_BASE = 0x400000
FILE_ALIGN = 0x200
SECTION_ALIGN = 0x1000
TEXT_RVA = 0x1000

# The one section, laid out from TEXT_RVA: code, import descriptors, lookup and address
# tables, the imported name and the DLL name.
CODE_RVA = TEXT_RVA
IMPORTS_RVA = TEXT_RVA + 0x10   # two descriptors (the second ends the list): 40 bytes
LOOKUP_RVA = TEXT_RVA + 0x40    # one entry and its end: 8 bytes
ADDRESS_RVA = TEXT_RVA + 0x48   # the same, patched by the loader
HINT_NAME_RVA = TEXT_RVA + 0x50
DLL_NAME_RVA = TEXT_RVA + 0x60


def section() -> bytes:
    data = bytearray(FILE_ALIGN)

    def put(rva: int, blob: bytes) -> None:
        off = rva - TEXT_RVA
        data[off:off + len(blob)] = blob

    # push 0; call dword ptr [ExitProcess]; int3 (never reached)
    put(CODE_RVA, b"\x6a\x00\xff\x15" + struct.pack("<I", IMAGE_BASE + ADDRESS_RVA) + b"\xcc")
    put(IMPORTS_RVA, struct.pack("<5I", LOOKUP_RVA, 0, 0, DLL_NAME_RVA, ADDRESS_RVA))
    put(LOOKUP_RVA, struct.pack("<2I", HINT_NAME_RVA, 0))
    put(ADDRESS_RVA, struct.pack("<2I", HINT_NAME_RVA, 0))
    put(HINT_NAME_RVA, struct.pack("<H", 0) + b"ExitProcess\0")
    put(DLL_NAME_RVA, b"KERNEL32.dll\0")
    return bytes(data)


def headers(text: bytes) -> bytes:
    dos = bytearray(0x40)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 0x40)  # e_lfanew: the PE header follows at once
    coff = struct.pack("<HHIIIHH",
                       0x014C,   # i386
                       1,        # sections
                       0, 0, 0,  # no time stamp, no symbols
                       0xE0,     # size of the optional header
                       0x0103)   # executable, 32-bit, relocations stripped
    directories = [(0, 0)] * 16
    directories[1] = (IMPORTS_RVA, 40)  # import directory
    directories[12] = (ADDRESS_RVA, 8)  # import address table
    size_of_image = TEXT_RVA + SECTION_ALIGN
    optional = struct.pack("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII",
                           0x010B, 0, 0,          # PE32, linker version
                           len(text), 0, 0,       # sizes of code and data
                           CODE_RVA, TEXT_RVA, TEXT_RVA,
                           IMAGE_BASE, SECTION_ALIGN, FILE_ALIGN,
                           4, 0, 0, 0, 4, 0,      # OS, image and subsystem versions
                           0, size_of_image, FILE_ALIGN, 0,
                           2,                     # the Windows GUI subsystem: no console
                           0,                     # no DLL characteristics
                           0x100000, 0x1000, 0x100000, 0x1000,
                           0, 16)
    optional += b"".join(struct.pack("<II", rva, size) for rva, size in directories)
    sect = struct.pack("<8sIIIIIIHHI",
                       b".text", len(text), TEXT_RVA, len(text), FILE_ALIGN,
                       0, 0, 0, 0,
                       0xE0000060)  # code, initialised data; read, write, execute
    head = bytes(dos) + b"PE\0\0" + coff + optional + sect
    assert len(optional) == 0xE0
    return head + bytes(FILE_ALIGN - len(head))


def main() -> int:
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        here, "..", "examples", "office", "server", "APPS", "VORNEX", "bin", "vxinst.exe")
    text = section()
    with open(out, "wb") as f:
        f.write(headers(text) + text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
