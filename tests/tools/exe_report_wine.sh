#!/bin/sh
# Runs the built klagent.exe under Wine on a workstation whose shared home and clients share are
# connected as network drives (S: and K:, both shares of the prefix's own computer, which serves
# its registry too), and checks the pass report the agent leaves in the clients share:
#   - with no [Reports] section in VCSM.ini, the folder stays empty;
#   - with reports on and the workstation current, [Last pass] says so and no failure is kept;
#   - once the server lists a newer stamp, the installer (missing here) cannot be started: the
#     pass ends in a message, and [Last pass] and [Last failure] both tell of it.
# Every run starts from C: (the local start mode) and must end by itself with exit code 0.
#
#   sh exe_report_wine.sh WINE_TEST_SH KLAGENT_EXE AGENT_VERSION
set -u

WINE_TEST=$1
EXE=$2
VERSION=$3
T=$(mktemp -d "${TMPDIR:-/tmp}/vx-exe-report.XXXXXX")
chmod 755 "$T" # the user Wine runs as passes through it
WORK=$T/wine
trap 'sh "$WINE_TEST" --remove "$WORK" >/dev/null 2>&1; rm -rf "$T"' EXIT
FAILURES=0
ROW=setup

fail() {
    echo "exe_report_wine [$ROW]: FAIL: $*" >&2
    FAILURES=$((FAILURES + 1))
}

die() {
    echo "exe_report_wine: $*" >&2
    exit 1
}

# A prefix of its own: the agent's settings and the connected drives would change what the
# other tests' programs see in the shared one.
sh "$WINE_TEST" --create "$WORK" || die "could not make a Wine prefix"
APPS=$T/server/APPS
CLIENTS=$T/server/CLIENTS
mkdir -p "$APPS/VORNEX/vxinst" "$APPS/VORNEX/bin" "$CLIENTS/REPORTS"
printf '[WS01]\r\nTIMESTAMP=3.2.2\r\n' >"$APPS/VORNEX/vxinst/clients.ini"
printf '[NEWDESK]\r\nTIMESTAMP=3.2.3\r\n' >"$CLIENTS/newclnts.ini"
# Whoever Wine runs as must write the reports and the lists.
chown -R "$(stat -c %u:%g "$WORK/pfx")" "$T/server"
HOST=$(sh "$WINE_TEST" --connect "$WORK" S APPS "$APPS" K CLIENTS "$CLIENTS") \
    || die "could not connect the shares"

cat >"$T/settings.reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\SOFTWARE\\VORNEX]
"VORNEX_HOME"="C:\\\\VORNEX"
"SHARED_VORNEX_HOME"="S:\\\\VORNEX"
"CLIENTNAME"="WS01"
"HOST_MACHINE"="$HOST"
"VORNEX_HOME_SHARE"="APPS"
"TIMESTAMP"="3.2.2"

[HKEY_LOCAL_MACHINE\\SOFTWARE\\VORNEX\\VORNEX_HOMES\\OFFICE]
"VORNEX_HOME"="D:\\\\APPS\\\\VORNEX"
"CLIENTS_DIR_SHARE"="CLIENTS"
REG
sh "$WINE_TEST" --import "$WORK" "$T/settings.reg" || die "could not import the settings"

# home_settings REPORTS_ON: the shared home's VCSM.ini.
home_settings() {
    {
        printf '[Vornex]\r\nHOST_MACHINE=%s\r\nBACKUP=OFFICE\r\n' "$HOST"
        [ "$1" = 0 ] || printf '\r\n[Reports]\r\nFolder=REPORTS\r\n'
    } >"$APPS/VORNEX/vxinst/VCSM.ini"
}

# run ROW: one pass of the agent.
run() {
    ROW=$1
    status=0
    sh "$WINE_TEST" --prefix "$WORK" "$EXE" >"$T/run.log" 2>&1 || status=$?
    [ "$status" = 0 ] || fail "exit code $status, not 0: $(cat "$T/run.log")"
}

REPORT=$CLIENTS/REPORTS/WS01.INI

# The keys of one section of the report, "key=value" a line, CRs dropped.
section() {
    tr -d '\r' <"$REPORT" | awk -v s="[$1]" '/^\[/ { on = ($0 == s); next } on && NF { print }'
}

# expect_pass SECTION RESULT MESSAGE SERVER_STAMP
expect_pass() {
    got=$(section "$1" | grep -v '^Time=')
    want="Mode=local
Result=$2
Status=0${3:+
Message=$3}
Stamp=3.2.2
Server stamp=$4
Computer=$HOST
Agent=$VERSION"
    [ "$got" = "$want" ] || fail "[$1] is
$got
not
$want"
    section "$1" | grep -Eq '^Time=[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$' \
        || fail "[$1] has no local time: $(section "$1" | grep '^Time=' || echo none)"
}

home_settings 0
run "reports switched off"
[ -z "$(ls -A "$CLIENTS/REPORTS")" ] || fail "the folder holds: $(ls -A "$CLIENTS/REPORTS")"

home_settings 1
run "current pass"
if [ -f "$REPORT" ]; then
    expect_pass "Last pass" current "" 3.2.2
    [ -z "$(section "Last failure")" ] || fail "a current pass left [Last failure]"
    sed 's/^/    /' "$REPORT"
else
    fail "no report in $CLIENTS/REPORTS: $(ls -A "$CLIENTS/REPORTS")"
fi

printf '[WS01]\r\nTIMESTAMP=3.2.3\r\n' >"$APPS/VORNEX/vxinst/clients.ini"
run "installer missing"
if [ -f "$REPORT" ]; then
    # WinExec's 2: the installer's file is not there.
    expect_pass "Last pass" message 2 3.2.3
    expect_pass "Last failure" message 2 3.2.3
    sed 's/^/    /' "$REPORT"
else
    fail "the report is gone"
fi

[ "$FAILURES" = 0 ] || exit 1
echo "exe_report_wine: ok"
