#!/bin/sh
# Fuzzes one libFuzzer target for a time box, starting from its kept inputs.
#
#   sh fuzz-target.sh TARGET SECONDS KEPT_DIR OUT_DIR
#
# New inputs that reach new code go to OUT_DIR/corpus, which later runs of the same build tree
# start from. A crash, leak or timeout fails the run and leaves its input in OUT_DIR; once the
# fault is fixed, keep that input in KEPT_DIR, which every test run replays.
set -eu

exe=$1
seconds=$2
kept=$3
out=$4
name=$(basename "$exe")
mkdir -p "$out/corpus"
set -- "$out/corpus"
[ ! -d "$kept" ] || set -- "$@" "$kept"
if ! "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/" "$@" >"$out/fuzz.log" 2>&1; then
    tail -n 60 "$out/fuzz.log"
    echo "fuzz-target: $name failed: its input is in $out; keep it in $kept once it is fixed"
    exit 1
fi
grep -E '^stat::number_of_executed_units|^Done ' "$out/fuzz.log" || tail -n 3 "$out/fuzz.log"
