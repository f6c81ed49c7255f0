#!/bin/sh
# Build klagent-sim and vxpack, run the agent's pass on every workstation of the example office,
# and end with vxpack report over the office: what the passes left in the clients directory.
# The worlds are copied to a temporary directory first, so what the agent writes back (drive
# connections, registry values) never changes the checked-in examples.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# On a fresh machine the native build's packages come first; a warm one spends no time here.
bash scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build build/native --target klagent-sim vxpack

work=$(mktemp -d "${TMPDIR:-/tmp}/vx-office.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp -R examples/office "$work/office"
# The home switches reports on; git keeps no empty folder, so the report folder the
# administrator made is made here.
mkdir -p "$work/office/server/CLIENTS/REPORTS"
sim="$root/build/native/tools/klagent-sim/klagent-sim"
vxpack="$root/build/native/tools/vxpack/vxpack"

run() {
    echo
    echo "== $1: $2"
    shift 2
    "$sim" "$@"
}

cd "$work/office"
run reception "registered and current" reception
run accounts "out of date, started from its fixed drive with -a b" accounts -a b
run visitor "not registered" visitor
run lab "started from the network drive N:" lab
run laptop "drive S: not connected" laptop
run laptop "the same laptop again: S: and Z: are connected now" laptop
run warehouse "clients share already connected as Y:" warehouse
run annex "64-bit Windows, settings in the 64-bit view only" annex

# The report is for reading: exit 1 (a client not current, or reports not switched on for the
# home) ends the example as usual. A wrong command line (2) or a crash fails it.
echo
echo "== vxpack report: the passes of the whole office"
status=0
# The simulated workstations' clocks stand at 2026-03-02 08:15: the office's reports are read
# the next morning, not months later by this machine's clock.
VXPACK_NOW='2026-03-03 09:00:00' "$vxpack" report server/CLIENTS --home server/APPS/VORNEX ||
    status=$?
if [ "$status" -gt 1 ]; then
    echo "run-example: vxpack report failed (exit $status)" >&2
    exit 1
fi
