#!/usr/bin/env bash
# Records the conformance corpus under Wine: builds the Windows corpus program, runs every case
# in a fresh Wine prefix, and writes the answers, the seed and the Wine version to
# tests/conformance/recorded-wine.txt, which the native test `vx_tests_conformance` holds the
# simulation to. Needs a machine that runs Wine's 32-bit programs.
#
#   scripts/record-corpus.sh              the default seed
#   scripts/record-corpus.sh --seed N     another seed (the test reads it from the recording)
set -euo pipefail

cd "$(dirname "$0")/.."
OUT=tests/conformance/recorded-wine.txt

log() { echo "record-corpus: $*" >&2; }

bash scripts/install-deps.sh all >&2
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target vx_corpus_print >&2

TMP=$(mktemp "${TMPDIR:-/tmp}/vx-corpus.XXXXXX")
trap 'rm -f "$TMP" "$TMP.raw"' EXIT
log "running the cases under $(wine --version)"
# The program writes text-mode lines (CR LF); the recording keeps LF.
sh cmake/wine-test.sh build/win32/tests/conformance/vx_corpus.exe "$@" >"$TMP.raw"
tr -d '\r' <"$TMP.raw" >"$TMP"

want=$(sed -n 's/^# cases //p' "$TMP")
got=$(grep -c '^[0-9]' "$TMP" || true)
if [ -z "$want" ] || [ "$got" != "$want" ]; then
    log "FAILED: $got of ${want:-?} cases answered; the recording is left as it was"
    exit 1
fi
{
    sed -n '/^#/p' "$TMP"
    echo "# wine-version $(wine --version)"
    grep '^[0-9]' "$TMP"
} >"$OUT"
log "$got cases recorded in $OUT"
