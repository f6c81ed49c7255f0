#!/bin/sh
# Checks a built klagent.exe: a 32-bit i386 GUI program that imports only system DLLs, carries
# the icon group VXINSTICON (one 32x32 icon in 16 colours) and a version resource of version
# numbers only, and stays under 64 KiB. Prints what it found; exits 1 on the first mismatch.
#
#   sh scripts/check-exe.sh build/win32/klagent.exe
#
# With --console it checks a console program instead (vxpack.exe): the image, the console
# subsystem and the imports, nothing of klagent.exe's resources or size.
set -eu

CONSOLE=0
if [ "${1:-}" = --console ]; then
    CONSOLE=1
    shift
fi
EXE=${1:?usage: check-exe.sh [--console] EXE}
OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}
command -v "$OBJDUMP" >/dev/null 2>&1 || OBJDUMP=objdump
# The product's limit; a caller may hold the program to a tighter budget.
MAX_SIZE=${VX_EXE_MAX_SIZE:-65536}
ALLOWED_DLLS="kernel32.dll user32.dll advapi32.dll mpr.dll msvcrt.dll"

fail() {
    echo "check-exe: FAIL: $*" >&2
    exit 1
}
ok() {
    echo "check-exe: ok: $*"
}

[ -f "$EXE" ] || fail "no such file: $EXE"
HEADERS=$("$OBJDUMP" -p "$EXE") || fail "$OBJDUMP cannot read $EXE"
SECTIONS=$("$OBJDUMP" -h "$EXE")

# The image: PE32 for i386, Windows GUI subsystem.
echo "$HEADERS" | grep -q 'file format pei-i386' || fail "not a PE image for i386"
echo "$HEADERS" | grep -Eq '^Magic[[:space:]]+010b' || fail "not PE32 (optional header magic)"
if [ $CONSOLE = 1 ]; then
    echo "$HEADERS" | grep -Eq '^Subsystem[[:space:]]+00000003' \
        || fail "not a console program: $(echo "$HEADERS" | grep '^Subsystem')"
    ok "PE32 i386, console subsystem"
else
    echo "$HEADERS" | grep -Eq '^Subsystem[[:space:]]+00000002' \
        || fail "subsystem is not Windows GUI: $(echo "$HEADERS" | grep '^Subsystem')"
    ok "PE32 i386, Windows GUI subsystem"
fi

# The imports: system DLLs only (no GCC, C++ or thread runtime DLLs).
DLLS=$(echo "$HEADERS" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$DLLS" ] || fail "no import table found"
for dll in $DLLS; do
    case " $ALLOWED_DLLS " in
        *" $dll "*) ;;
        *) fail "imports from $dll (allowed: $ALLOWED_DLLS)" ;;
    esac
done
ok "imports only from: $(echo $DLLS)"
if [ $CONSOLE = 1 ]; then
    ok "size $(wc -c <"$EXE" | tr -d ' ') bytes"
    exit 0
fi

# The resources, one line per leaf: TYPE NAME RVA SIZE. Entries of the type level are indented
# by three blanks after the offset, names by five, languages by seven.
LEAVES=$(echo "$HEADERS" | awk '
    function hex(s,   v, i) {
        v = 0
        for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(tolower(s), i, 1)) - 1
        return v
    }
    /Resource Directory section:/ { on = 1; next }
    !on { next }
    /^[0-9a-f]+ +Entry:/ {
        match($0, /^[0-9a-f]+ +/)
        indent = RLENGTH - length($1)
        if ($0 ~ /Entry: name:/) { id = $0; sub(/.*\]: /, "", id); sub(/, Value:.*/, "", id) }
        else { id = $0; sub(/.*ID: 0x/, "", id); sub(/,.*/, "", id); id = hex(id) }
        if (indent == 3) type = id; else if (indent == 5) name = id
        next
    }
    /Leaf: Addr:/ {
        addr = $0; sub(/.*Addr: /, "", addr); sub(/,.*/, "", addr)
        size = $0; sub(/.*Size: /, "", size); sub(/,.*/, "", size)
        print type, name, addr, size
    }
    /^ *String table starts/ { on = 0 }')
[ -n "$LEAVES" ] || fail "no resources found"

# File offset of the resource data at an RVA.
IMAGE_BASE=$(echo "$HEADERS" | awk '/^ImageBase/ { print $2 }')
RSRC=$(echo "$SECTIONS" | awk '$2 == ".rsrc" { print $4, $6 }')
[ -n "$RSRC" ] || fail "no .rsrc section"
RSRC_VMA=${RSRC% *}
RSRC_OFF=${RSRC#* }
offset_of() {
    echo $(( $1 + 0x$IMAGE_BASE - 0x$RSRC_VMA + 0x$RSRC_OFF ))
}
# Unsigned little-endian integer of $3 bytes at byte $2 of the leaf at file offset $1.
le() {
    od -An -tu1 -j $(( $1 + $2 )) -N "$3" "$EXE" \
        | awk '{ for (i = 1; i <= NF; i++) b[n++] = $i } END { v = 0; for (i = n - 1; i >= 0; i--) v = v * 256 + b[i]; printf "%.0f\n", v }'
}

GROUPS=$(echo "$LEAVES" | awk '$1 == 14')
[ "$(echo "$GROUPS" | grep -c .)" = 1 ] || fail "expected one icon group, found: $(echo "$GROUPS" | awk '{ print $2 }')"
set -- $GROUPS
[ "$(echo "$2" | tr 'a-z' 'A-Z')" = VXINSTICON ] || fail "the icon group is named $2, not VXINSTICON"
G=$(offset_of "$3")
[ "$(le $G 2 2)" = 1 ] || fail "the icon group is not of type icon"
[ "$(le $G 4 2)" = 1 ] || fail "the icon group holds $(le $G 4 2) icons, not one"
W=$(le $G 6 1); H=$(le $G 7 1); COLOURS=$(le $G 8 1); BITS=$(le $G 12 2); ICON_ID=$(le $G 18 2)
[ "$W" = 32 ] && [ "$H" = 32 ] || fail "the group lists a ${W}x${H} icon, not 32x32"
[ "$BITS" = 4 ] || fail "the group lists a $BITS-bit icon, not 4-bit"
[ "$COLOURS" = 16 ] || fail "the group lists $COLOURS colours, not 16"

ICONS=$(echo "$LEAVES" | awk '$1 == 3')
[ "$(echo "$ICONS" | grep -c .)" = 1 ] || fail "expected one icon image, found $(echo "$ICONS" | grep -c .)"
set -- $ICONS
[ "$2" = "$ICON_ID" ] || fail "the group names icon $ICON_ID, the image is icon $2"
I=$(offset_of "$3")
[ "$(le $I 0 4)" = 40 ] || fail "the icon image is not a DIB with a BITMAPINFOHEADER"
[ "$(le $I 4 4)" = 32 ] && [ "$(le $I 8 4)" = 64 ] \
    || fail "the icon image is $(le $I 4 4)x$(le $I 8 4), not 32x32 with its mask"
[ "$(le $I 14 2)" = 4 ] || fail "the icon image has $(le $I 14 2) bits per pixel, not 4"
ok "icon group VXINSTICON: one 32x32 icon, 16 colours, 4 bits per pixel"

VERSIONS=$(echo "$LEAVES" | awk '$1 == 16')
[ "$(echo "$VERSIONS" | grep -c .)" = 1 ] || fail "expected one version resource"
set -- $VERSIONS
V=$(offset_of "$3")
V_SIZE=$(( $4 ))
# VS_VERSIONINFO: its length, the fixed part's length, the key, then VS_FIXEDFILEINFO at 40.
[ "$(le $V 2 2)" = 52 ] || fail "the version resource has no fixed file information"
[ "$(le $V 40 4)" = 4277077181 ] || fail "the version resource lacks the VS_FIXEDFILEINFO signature"
# Nothing after the fixed part: no string table, no translation block.
[ "$(le $V 0 2)" = 92 ] && [ "$V_SIZE" -le 92 ] \
    || fail "the version resource holds more than version numbers ($(le $V 0 2) bytes)"
version() {
    echo "$(( $(le $V $1 4) >> 16 )).$(( $(le $V $1 4) & 65535 )).$(( $(le $V $2 4) >> 16 )).$(( $(le $V $2 4) & 65535 ))"
}
ok "version resource: file version $(version 48 52), product version $(version 56 60), no strings"

SIZE=$(wc -c <"$EXE" | tr -d ' ')
[ "$SIZE" -lt "$MAX_SIZE" ] || fail "$SIZE bytes, not under $MAX_SIZE"
ok "size $SIZE bytes ($(( SIZE / 1024 )) KiB, limit $(( MAX_SIZE / 1024 )) KiB)"
