#!/usr/bin/env python3
"""Write the five corpus files the codec is timed on, 32 MiB each, into a folder:
text.bin (C headers), exe.bin (ELF programs and libraries), random.bin (seeded random
bytes), slice.bin (one 4 KiB slice of the text over and over) and zeros.bin.

    bench/lzw_corpus.py DIR [MIB]

The same machine gives the same files, so that figures taken before and after a change
compare. vx_bench makes the first four the same way for its own runs."""
import os
import random
import sys


def join(dirs, n, keep):
    out = bytearray()
    for top in dirs:
        paths = []
        for root, _, names in os.walk(top):
            for name in names:
                p = os.path.join(root, name)
                if os.path.isfile(p) and not os.path.islink(p) and keep(p):
                    paths.append(p)
        for p in sorted(paths):
            if len(out) >= n:
                return bytes(out)
            try:
                with open(p, "rb") as f:
                    out += f.read(n - len(out))
            except OSError:
                pass
    return bytes(out)


def is_elf(p):
    try:
        with open(p, "rb") as f:
            return f.read(4) == b"\x7fELF"
    except OSError:
        return False


def repeat(b, n):
    if not b:
        b = b"\n"
    return (b * (n // len(b) + 1))[:n]


def main():
    folder = sys.argv[1]
    n = int(sys.argv[2] if len(sys.argv) > 2 else 32) << 20
    os.makedirs(folder, exist_ok=True)
    text = join(["/usr/include"], n, lambda p: p.endswith(".h"))
    files = {
        "text.bin": repeat(text, n),
        "exe.bin": repeat(join(["/usr/bin", "/usr/lib"], n, is_elf), n),
        "random.bin": random.Random(2026).randbytes(n),
        "slice.bin": repeat(text[:4096], n),
        "zeros.bin": bytes(n),
    }
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


main()
