#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing, so a
# machine that has them spends no time here.
#
#   scripts/install-deps.sh          everything: native, sanitizers, fuzzing, benchmarks, MinGW
#                                    and Wine
#   scripts/install-deps.sh native   only what the native build (klagent-sim, tests) needs
#   scripts/install-deps.sh bench    the native build and the programs the benchmarks race
#
# On a machine that cannot execute 32-bit programs, "everything" includes the emulated route of
# the Wine tests (the 64-bit Wine and qemu-i386), unless VX_WINE_EMULATION=0 switches it off.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2

NATIVE=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev libcli11-dev python3)
FUZZ=(clang libclang-rt-dev)
# The codec benchmark races the LZW encoder and decoder against compress(1).
BENCH=(ncompress)
WINDOWS=(g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386)
EMULATED=(qemu-user wine64 libwine:amd64)
case ${1:-all} in
    native) PACKAGES=("${NATIVE[@]}") ;;
    bench) PACKAGES=("${NATIVE[@]}" "${BENCH[@]}") ;;
    all) PACKAGES=("${NATIVE[@]}" "${FUZZ[@]}" "${BENCH[@]}" "${WINDOWS[@]}") ;;
    *) echo "usage: install-deps.sh [native|bench|all]" >&2; exit 2 ;;
esac

log() { echo "install-deps: $*"; }

if ! command -v dpkg-query >/dev/null 2>&1; then
    log "not a Debian system: install ${PACKAGES[*]} by hand"
    exit 0
fi

installed() {
    dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep -q 'ok installed'
}

as_root() {
    if [ "$(id -u)" = 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        log "needs root to run: $*"
        return 1
    fi
}

install() {
    log "installing $*"
    # wine32 is an i386 package.
    case " $* " in
        *:i386*)
            if ! dpkg --print-foreign-architectures | grep -qx i386; then
                as_root dpkg --add-architecture i386 || return 1
            fi ;;
    esac
    export DEBIAN_FRONTEND=noninteractive
    # A mirror caught mid-sync fails one index and apt-get update exits non-zero, yet the other
    # lists are fresh: try the install with what it has, and fail only if that fails.
    as_root apt-get update -q </dev/null ||
        log "apt-get update reported errors; installing from the package lists it has"
    as_root apt-get install -y -q --no-install-recommends "$@" </dev/null
}

missing=()
for p in "${PACKAGES[@]}"; do
    installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    install "${missing[@]}" || exit 1
fi

# Where Wine's 32-bit loader cannot be executed at all, the Windows tests need the emulated
# route; any other state of Wine is the tests' to report. This asks the real loader, whatever
# the decision is pointed at for a trial.
if [ "${1:-all}" = all ] && { [ "${VX_WINE_EMULATION:-exe}" = exe ] || [ "${VX_WINE_EMULATION:-exe}" = all ]; }; then
    env -u VX_WINE_LOADER python3 scripts/wine-route.py --i386 2>/dev/null
    if [ $? = 3 ]; then
        missing=()
        for p in "${EMULATED[@]}"; do
            installed "$p" || missing+=("$p")
        done
        if [ ${#missing[@]} -gt 0 ]; then
            log "this machine cannot execute 32-bit programs: the Wine tests need qemu-i386"
            install "${missing[@]}" || exit 1
        fi
    fi
fi
exit 0

