#!/usr/bin/env python3
"""Decides how the Windows tests can run on this machine, and says why.

    python3 scripts/wine-route.py            prints ROUTE<TAB>SENTENCE, exits 0
    python3 scripts/wine-route.py --i386     only whether 32-bit programs run: exit 0 yes,
                                             3 no (the loader gives ENOEXEC), 1 Wine is broken

ROUTE is one of
    native    Wine's 32-bit loader runs: the tests run under Wine as they are
    qemu-exe  this machine cannot execute 32-bit programs, but the 64-bit Wine runs natively
              and qemu-i386 stands in for the 32-bit loader: klagent.exe's two runs only
    qemu      the same with every Windows test (VX_WINE_EMULATION=all)
    skip      neither: the Windows tests cannot run here
and SENTENCE is what the summary line says ("ran natively (i386)", ...). Anything else wrong
with Wine (no loader, a loader that fails) is not a reason to skip: the script prints the
error and exits 1.

The environment can point the decision elsewhere, so that every route can be tried on any
machine:
    VX_WINE_LOADER      Wine's 32-bit loader (default /usr/lib/wine/wine)
    VX_WINE64_ROOT      where the 64-bit Wine is installed or unpacked (default /)
    VX_QEMU_I386        the user-mode emulator (default: qemu-i386 on PATH)
    VX_WINE_EMULATION   what the emulated route runs: "exe" (the default), "all", or 0 for nothing

Measured on two cores: making the prefix takes about 90 s under emulation, every program start
about a minute, so one run per test program would fit CI's 20 minutes; but the portable tests
of the simulation's own calls hang there (the drive type queried after the profile calls, in the
same process; alone each passes), so by default only klagent.exe's two runs (about four minutes
with the prefix) are made.
"""
import errno
import os
import shutil
import subprocess
import sys

LOADER = os.environ.get("VX_WINE_LOADER", "/usr/lib/wine/wine")
WINE64_ROOT = os.environ.get("VX_WINE64_ROOT", "/")
EMULATION = os.environ.get("VX_WINE_EMULATION", "exe")

CAN = 0
CANNOT = 3
BROKEN = 1


def is_elf(path):
    try:
        with open(path, "rb") as f:
            return f.read(4) == b"\x7fELF"
    except OSError:
        return False


def run_loader():
    """CAN, CANNOT or BROKEN, with a message for BROKEN. The loader is started with execve
    directly (subprocess does no shell fallback): a shell or execvp would hand a file the
    kernel refuses with ENOEXEC to /bin/sh instead of reporting it."""
    try:
        done = subprocess.run([LOADER, "--version"], stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    except OSError as e:
        # The kernel refusing an ELF image is this machine's limit; refusing anything else is
        # a broken installation.
        if e.errno == errno.ENOEXEC and is_elf(LOADER):
            return CANNOT, ""
        return BROKEN, "Wine's 32-bit loader %s cannot be started: %s" % (LOADER, e.strerror)
    except subprocess.TimeoutExpired:
        return BROKEN, "Wine's 32-bit loader %s did not answer within 120 s" % LOADER
    if done.returncode != 0:
        out = done.stdout.decode("utf-8", "replace").strip().splitlines()
        return BROKEN, "Wine's 32-bit loader %s failed with status %d: %s" % (
            LOADER, done.returncode, out[0] if out else "no output")
    return CAN, ""


def emulated_route_missing():
    """What the emulated route lacks here, or "" when it has everything."""
    missing = []
    qemu = os.environ.get("VX_QEMU_I386") or shutil.which("qemu-i386")
    if not qemu or not os.access(qemu, os.X_OK):
        missing.append("qemu-i386 (Debian's qemu-user)")
    wine64 = os.path.join(WINE64_ROOT, "usr/lib/wine/wine64")
    if not os.access(wine64, os.X_OK):
        missing.append("the 64-bit Wine (%s, Debian's wine64)" % wine64)
    return " and ".join(missing)


def main():
    status, message = run_loader()
    if len(sys.argv) > 1 and sys.argv[1] == "--i386":
        if message:
            print(message, file=sys.stderr)
        return status
    if status == BROKEN:
        print(message, file=sys.stderr)
        return 1
    if status == CAN:
        print("native\tran natively (i386)")
        return 0
    cannot = "this machine cannot execute 32-bit programs (Exec format error)"
    if EMULATION not in ("exe", "all"):
        print("skip\tskipped: %s and the emulated route is switched off (VX_WINE_EMULATION=%s)"
              % (cannot, EMULATION))
        return 0
    missing = emulated_route_missing()
    if missing:
        print("skip\tskipped: %s and the emulated route lacks %s" % (cannot, missing))
        return 0
    if EMULATION == "all":
        print("qemu\tran under qemu-i386 (%s; one run per test program; klagent.exe's report "
              "run needs Wine to run natively)" % cannot)
    else:
        print("qemu-exe\tran under qemu-i386, klagent.exe's two runs only (%s; the portable tests "
              "hang under emulation, VX_WINE_EMULATION=all runs them too; klagent.exe's report "
              "run needs Wine to run natively)" % cannot)
    return 0


if __name__ == "__main__":
    sys.exit(main())
