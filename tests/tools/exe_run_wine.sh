#!/bin/sh
# Runs the built klagent.exe under Wine, once from a fixed drive and once from a network drive,
# and checks from Wine's relay log what the agent did on the real platform calls. The prefix
# holds no settings of the agent, so:
#   - from C: (local start) the check fails and the agent shows one message box, caption and
#     style fixed, and starts nothing;
#   - from N: (network start) a failed check is not reported: the agent starts the installer
#     beside itself with its own arguments and "/bootstrap", and, as no vxinst.exe is there,
#     reports the failed launch.
# Both runs must end by themselves (no display: the message box returns at once) with exit code 0.
#
#   sh exe_run_wine.sh WINE_TEST_SH PREFIX_DIR KLAGENT_EXE
set -u

WINE_TEST=$1
WORK=$2
EXE=$3
LOG=$(mktemp "${TMPDIR:-/tmp}/vx-exe-run.XXXXXX")
trap 'rm -f "$LOG"' EXIT
FAILURES=0

fail() {
    echo "exe_run_wine [$ROW]: FAIL: $*" >&2
    FAILURES=$((FAILURES + 1))
}

# run ROW DRIVE: the agent with the arguments -a b, its relay log of the calls that matter in LOG.
run() {
    ROW=$1
    status=0
    VX_WINE_DRIVE=$2 VX_WINEDEBUG=+relay sh "$WINE_TEST" --prefix "$WORK" "$EXE" -a b \
        >"$LOG.raw" 2>&1 || status=$?
    grep -E '(Call|Ret)  ?(user32|KERNEL32)\.(RegisterClassA|GetDriveTypeA|WinExec|MessageBoxA)\(' \
        "$LOG.raw" >"$LOG" || true
    rm -f "$LOG.raw"
    [ "$status" = 0 ] || fail "exit code $status, not 0"
    grep -q 'Call user32.RegisterClassA(' "$LOG" || fail "the window class was not registered"
}

count() {
    grep -c "$1" "$LOG" || true
}

CAPTION='"Vornex Client Software Agent",00000030)'

run "local start from C:" c
grep -q 'Ret  KERNEL32.GetDriveTypeA() retval=00000003' "$LOG" || fail "C: not classified as a fixed drive"
[ "$(count 'Call KERNEL32.WinExec(')" = 0 ] || fail "started a program: $(grep WinExec "$LOG")"
[ "$(count 'Call user32.MessageBoxA(00000000,')" = 1 ] || fail "expected one message box without owner"
grep 'Call user32.MessageBoxA(' "$LOG" | grep -q "$CAPTION" \
    || fail "message box caption or style: $(grep MessageBoxA "$LOG")"
sed -n 's/.*MessageBoxA([^"]*\("[^"]*"\).*/    shown: \1/p' "$LOG"

run "network start from N:" n
grep -q 'Ret  KERNEL32.GetDriveTypeA() retval=00000004' "$LOG" || fail "N: not classified as a network drive"
grep -Eq 'Call KERNEL32.WinExec\([0-9a-f]+ "N:\\\\RUN\.[A-Z0-9]{6}\\\\vxinst\.exe -a b /bootstrap",00000001\)' "$LOG" \
    || fail "installer command line: $(grep WinExec "$LOG" || echo none)"
sed -n 's/.*WinExec([^"]*\("[^"]*"\).*/    started: \1/p' "$LOG"
[ "$(count 'Call user32.MessageBoxA(')" = 1 ] || fail "expected one message box for the failed launch"
grep 'Call user32.MessageBoxA(' "$LOG" \
    | grep -q "\"Installer executable file path is incorrect.\",[0-9a-f]* $CAPTION" \
    || fail "launch failure message: $(grep MessageBoxA "$LOG")"

[ "$FAILURES" = 0 ] || exit 1
echo "exe_run_wine: ok"
