#!/bin/sh
# Build and run the benchmarks, then print the plain copy against cp, the key-value rewrite's
# time and peak memory per file size, and the clients.ini lookup.
#   scripts/bench.sh [benchmark options...]
# BUILD_DIR (default build/bench) and REPS (repetitions, default 5) may be set. Unless TMPDIR
# is set, the files live on /dev/shm: the disk's writeback then stays out of both copies'
# times, which on a shared machine it would otherwise dominate.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/bench}
cd "$root"
cmake --preset bench -B "$build" >/dev/null
cmake --build "$build" --target vx_bench
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    TMPDIR=/dev/shm
    export TMPDIR
fi
echo "files under ${TMPDIR:-/tmp}"
out="$build/bench.json"
"$build/bench/vx_bench" --benchmark_repetitions="${REPS:-5}" \
    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
    --benchmark_out="$out" --benchmark_out_format=json "$@"

python3 - "$out" <<'EOF'
import json
import sys

runs = json.load(open(sys.argv[1]))["benchmarks"]
median = {r["run_name"]: r for r in runs if r.get("aggregate_name") == "median"}

def ms(r):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[r["time_unit"]]
    return r["real_time"] * scale

print()
t = median.get("BM_PlainCopyTransferFile/real_time")
c = median.get("BM_PlainCopyCp/real_time")
if t and c:
    print("plain copy of 64 MiB (medians): transfer_file %.1f ms, cp %.1f ms: %.2fx cp "
          "(target 1.3x)" % (ms(t), ms(c), ms(t) / ms(c)))
    print("  processor time: transfer_file %.1f ms, cp %.1f ms" % (t["cpu_ms"], c["cpu_ms"]))
for name in sorted((n for n in median if n.startswith("BM_KeyValueRewrite/")),
                   key=lambda n: int(n.split("/")[1])):
    r = median[name]
    print("key-value rewrite of %7d lines: %8.1f ms, peak RSS %5.0f KiB (empty file: %.0f KiB)"
          % (r["lines"], ms(r), r["peak_rss_kib"], r["peak_rss_kib_empty_file"]))
for name in sorted(n for n in median if n.startswith("BM_ClientsIniLookup/")):
    which = "first" if name.endswith("/0") else "last"
    print("clients.ini of 10000 sections, %s section: %.2f ms per lookup"
          % (which, ms(median[name])))
EOF
