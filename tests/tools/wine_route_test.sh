#!/bin/sh
# The decision how the Windows tests run (scripts/wine-route.py), on loaders made for the
# purpose: an ELF image for a machine this kernel does not run gives ENOEXEC here as a 32-bit
# loader does on a machine without 32-bit support, so every route, the skip included, is tried
# on any machine. With MinGW at hand, a win32 configuration that cannot execute 32-bit
# programs is made in a scratch tree as well: it must build-test the exe and register no test
# that needs Wine.
#
#   sh wine_route_test.sh SOURCE_DIR
set -u

SRC=$1
ROUTE="python3 $SRC/scripts/wine-route.py"
T=$(mktemp -d "${TMPDIR:-/tmp}/vx-route.XXXXXX")
trap 'rm -rf "$T"' EXIT
FAILURES=0

fail() {
    echo "wine_route_test [$ROW]: FAIL: $*" >&2
    FAILURES=$((FAILURES + 1))
}

# An ELF header for IBM S/390 (machine 22): a 32-bit image no x86 kernel executes.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\026\000\001\000\000\000' \
    >"$T/foreign"
dd if=/dev/zero bs=1 count=32 >>"$T/foreign" 2>/dev/null
printf 'not an image\n' >"$T/text"
printf '#!/bin/sh\necho "wine-8.0"\n' >"$T/working"
printf '#!/bin/sh\necho "cannot open display" >&2\nexit 1\n' >"$T/failing"
cp "$T/working" "$T/unreadable"
chmod 755 "$T/foreign" "$T/text" "$T/working" "$T/failing"
chmod 644 "$T/unreadable"
mkdir -p "$T/wine64/usr/lib/wine" "$T/nowine64"
cp "$T/working" "$T/wine64/usr/lib/wine/wine64"
cp "$T/working" "$T/qemu"

# check ROW EXPECTED_STATUS EXPECTED_OUTPUT_PATTERN ENV... : wine-route.py's status and its
# output (standard output and error together) must match.
check() {
    ROW=$1
    want_status=$2
    want=$3
    shift 3
    status=0
    out=$(env -u VX_WINE_EMULATION -u VX_QEMU_I386 -u VX_WINE64_ROOT "$@" $ROUTE 2>&1) \
        || status=$?
    [ "$status" = "$want_status" ] || fail "status $status, not $want_status: $out"
    printf '%s\n' "$out" | grep -Eq "$want" || fail "said: $out"
}

CANNOT='this machine cannot execute 32-bit programs \(Exec format error\)'
check "loader runs" 0 "^native	ran natively \(i386\)$" VX_WINE_LOADER="$T/working"
check "cannot execute, emulation off" 0 "^skip	skipped: $CANNOT and the emulated route is switched off" \
    VX_WINE_LOADER="$T/foreign" VX_WINE_EMULATION=0
check "cannot execute, no emulator, no 64-bit Wine" 0 \
    "^skip	skipped: $CANNOT and the emulated route lacks qemu-i386 .* and the 64-bit Wine" \
    VX_WINE_LOADER="$T/foreign" VX_QEMU_I386="$T/none" VX_WINE64_ROOT="$T/nowine64"
check "cannot execute, no 64-bit Wine" 0 "^skip	skipped: $CANNOT and the emulated route lacks the 64-bit Wine" \
    VX_WINE_LOADER="$T/foreign" VX_QEMU_I386="$T/qemu" VX_WINE64_ROOT="$T/nowine64"
check "cannot execute, emulated route at hand" 0 \
    "^qemu-exe	ran under qemu-i386, klagent.exe's two runs only \($CANNOT; the portable tests hang" \
    VX_WINE_LOADER="$T/foreign" VX_QEMU_I386="$T/qemu" VX_WINE64_ROOT="$T/wine64"
check "cannot execute, emulated route for every test" 0 \
    "^qemu	ran under qemu-i386 \($CANNOT; one run per test program; klagent.exe's report run needs Wine to run natively\)$" \
    VX_WINE_LOADER="$T/foreign" VX_QEMU_I386="$T/qemu" VX_WINE64_ROOT="$T/wine64" \
    VX_WINE_EMULATION=all
check "cannot execute, emulation set to something else" 0 \
    "^skip	skipped: $CANNOT and the emulated route is switched off \(VX_WINE_EMULATION=no\)" \
    VX_WINE_LOADER="$T/foreign" VX_QEMU_I386="$T/qemu" VX_WINE64_ROOT="$T/wine64" \
    VX_WINE_EMULATION=no
# Any other trouble with Wine fails: it is not a machine without 32-bit support.
check "no loader" 1 "cannot be started: No such file" VX_WINE_LOADER="$T/missing"
check "loader without execute permission" 1 "cannot be started: Permission denied" \
    VX_WINE_LOADER="$T/unreadable"
check "loader that is no image" 1 "cannot be started: Exec format error" VX_WINE_LOADER="$T/text"
check "loader that fails" 1 "failed with status 1: cannot open display" VX_WINE_LOADER="$T/failing"

# --i386: 0 can, 3 cannot, 1 broken.
for row in "working 0" "foreign 3" "missing 1"; do
    set -- $row
    ROW="--i386 on $1"
    status=0
    VX_WINE_LOADER="$T/$1" $ROUTE --i386 >/dev/null 2>&1 || status=$?
    [ "$status" = "$2" ] || fail "status $status, not $2"
done

# The win32 configuration of a machine that cannot execute 32-bit programs: the decision is
# written down for the summary and only the tests the route runs are registered.
# configure ROW EXPECTED_ROUTE_LINE EXPECTED_TESTS ENV...
configure() {
    ROW=$1
    want_route=$2
    want_tests=$3
    shift 3
    rm -rf "$T/win32"
    if ! env -u VX_WINE_EMULATION -u VX_QEMU_I386 -u VX_WINE64_ROOT "$@" \
        cmake --preset win32 -S "$SRC" -B "$T/win32" >"$T/configure.log" 2>&1; then
        cat "$T/configure.log" >&2
        fail "the configuration failed"
        return
    fi
    grep -Fqx "$want_route" "$T/win32/wine-route.txt" \
        || fail "wine-route.txt: $(cat "$T/win32/wine-route.txt")"
    tests=$(cd "$T/win32" && ctest -N | sed -n 's/^ *Test *#[0-9]*: //p' | sort | tr '\n' ' ')
    [ "$tests" = "$want_tests" ] || fail "registered tests: $tests"
}

if command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1; then
    configure "win32 configuration that skips" \
        "skip	skipped: $(echo "$CANNOT" | tr -d '\\') and the emulated route is switched off (VX_WINE_EMULATION=0)" \
        "exe_check exe_leaves_out_codec_and_volumes vxpack_exe_check " VX_WINE_LOADER="$T/foreign" VX_WINE_EMULATION=0
    configure "win32 configuration on the emulated route" \
        "qemu-exe	ran under qemu-i386, klagent.exe's two runs only ($(echo "$CANNOT" | tr -d '\\'); the portable tests hang under emulation, VX_WINE_EMULATION=all runs them too; klagent.exe's report run needs Wine to run natively)" \
        "exe_check exe_leaves_out_codec_and_volumes exe_run_under_wine vxpack_exe_check wine_prefix_create wine_prefix_remove " \
        VX_WINE_LOADER="$T/foreign" VX_QEMU_I386="$T/qemu" VX_WINE64_ROOT="$T/wine64"
    configure "win32 configuration with a broken Wine" \
        "broken	failed: Wine's 32-bit loader $T/failing failed with status 1: cannot open display" \
        "exe_check exe_leaves_out_codec_and_volumes vxpack_exe_check wine_unavailable " VX_WINE_LOADER="$T/failing"
else
    echo "wine_route_test: no MinGW here; the win32 configuration is not tried"
fi

[ "$FAILURES" = 0 ] || exit 1
echo "wine_route_test: ok"
