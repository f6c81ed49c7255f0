#!/bin/sh
# Build and run the benchmarks, then print the plain copy against cp, the key-value rewrite's
# time and peak memory per file size, the clients.ini lookup, and the LZW codec against
# compress(1) (Debian's ncompress: scripts/install-deps.sh bench).
#   scripts/bench.sh [benchmark options...]
#   scripts/bench.sh --benchmark_filter='Lzw|Compress'     only the codec
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

# The codec: one row per corpus file and operation, racing compress -b13 and compress -d.
KINDS = ["text", "exe", "random", "slice", "zeros"]
ROWS = [("encode  lzw_encode     ", "BM_LzwEncode", "BM_CompressEncode"),
        ("encode  compress -b13  ", "BM_CompressEncode", None),
        ("decode  lzw_decode     ", "BM_LzwDecode", "BM_CompressDecode"),
        ("decode  transfer_file  ", "BM_LzwDecompressCopy", "BM_CompressDecode"),
        ("decode  compress -d    ", "BM_CompressDecode", None)]
def codec(name, kind):
    return median.get("%s/%d/real_time" % (name, kind))
if any(codec(r[1], k) for r in ROWS for k in range(len(KINDS))):
    print()
    print("LZW codec, width 13 (medians; MB/s of plain data; compressed size as a share of "
          "plain; peak resident set, and for ours above a process that runs nothing):")
    for k, kind in enumerate(KINDS):
        for label, name, rival in ROWS:
            r = codec(name, k)
            if not r:
                continue
            mbs = r["plain_bytes"] / (ms(r) / 1e3) / 1e6
            line = "%-6s %s %8.1f MB/s" % (kind, label, mbs)
            o = codec(rival, k) if rival else None
            if o:
                line += "  %5.2fx compress" % (ms(o) / ms(r))
            else:
                line += "  " + " " * 15
            line += "  size %5.1f%%" % (100.0 * r["compressed_bytes"] / r["plain_bytes"])
            peak = r["peak_kib"]
            if peak < 0:
                line += "  peak not sampled"
            elif "peak_kib_idle" in r:
                line += "  peak %6.0f KiB (+%.0f KiB)" % (peak, peak - r["peak_kib_idle"])
            else:
                line += "  peak %6.0f KiB" % peak
            print(line)
EOF
