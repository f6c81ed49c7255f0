#!/bin/sh
# Checks a built vxpack.exe: a 32-bit i386 console program that imports only system DLLs, so
# that it runs on any Windows without a runtime beside it.
#
#   sh exe_check.sh build/win32/tools/vxpack/vxpack.exe
set -eu

EXE=${1:?usage: exe_check.sh VXPACK.EXE}
OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}
command -v "$OBJDUMP" >/dev/null 2>&1 || OBJDUMP=objdump
ALLOWED_DLLS="kernel32.dll user32.dll advapi32.dll mpr.dll msvcrt.dll"

fail() {
    echo "exe_check: FAIL: $*" >&2
    exit 1
}

[ -f "$EXE" ] || fail "no such file: $EXE"
HEADERS=$("$OBJDUMP" -p "$EXE") || fail "$OBJDUMP cannot read $EXE"
echo "$HEADERS" | grep -q 'file format pei-i386' || fail "not a PE image for i386"
echo "$HEADERS" | grep -Eq '^Magic[[:space:]]+010b' || fail "not PE32 (optional header magic)"
echo "$HEADERS" | grep -Eq '^Subsystem[[:space:]]+00000003' \
    || fail "not a console program: $(echo "$HEADERS" | grep '^Subsystem')"
DLLS=$(echo "$HEADERS" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$DLLS" ] || fail "no import table found"
for dll in $DLLS; do
    case " $ALLOWED_DLLS " in
        *" $dll "*) ;;
        *) fail "imports from $dll (allowed: $ALLOWED_DLLS)" ;;
    esac
done
echo "exe_check: ok: PE32 i386 console program importing only $(echo $DLLS), $(wc -c <"$EXE" | tr -d ' ') bytes"
