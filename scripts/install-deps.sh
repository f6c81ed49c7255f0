#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing, so a
# machine that has them spends no time here.
#
#   scripts/install-deps.sh          everything: native, sanitizers, MinGW and Wine
#   scripts/install-deps.sh native   only what the native build (klagent-sim, tests) needs
set -uo pipefail

NATIVE=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev python3)
WINDOWS=(g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386)
case ${1:-all} in
    native) PACKAGES=("${NATIVE[@]}") ;;
    all) PACKAGES=("${NATIVE[@]}" "${WINDOWS[@]}") ;;
    *) echo "usage: install-deps.sh [native|all]" >&2; exit 2 ;;
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

missing=()
for p in "${PACKAGES[@]}"; do
    installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

log "installing ${missing[*]}"
# wine32 is an i386 package.
case " ${missing[*]} " in
    *:i386*)
        if ! dpkg --print-foreign-architectures | grep -qx i386; then
            as_root dpkg --add-architecture i386 || exit 1
        fi ;;
esac
export DEBIAN_FRONTEND=noninteractive
as_root apt-get update -q </dev/null || exit 1
as_root apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null || exit 1
