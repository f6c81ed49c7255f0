#!/bin/sh
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each for a time box.
#
#   sh tests/fuzz/run.sh [SECONDS]      default 30 seconds per target
#
# Crashers are written to build/fuzz/<target>/; keep each one as a regression vector in
# tests/fuzz/regressions/<target>/, which every run replays first.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
seconds=${1:-30}
out=$top/build/fuzz
mkdir -p "$out/bin"

flags="-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all"
flags="$flags -Wall -Wextra -Werror -I$top -I$top/sim/include"

build() {
    name=$1
    shift
    clang++ $flags "$here/${name}_fuzz.cpp" "$@" -o "$out/bin/$name"
}
build kv_read_field "$top/stores/kv.cpp"
build path_split "$top/platform/path.cpp" "$top/platform/text.cpp" "$top/platform/mem.cpp"

for name in kv_read_field path_split; do
    mkdir -p "$out/$name/corpus"
    if [ -d "$here/regressions/$name" ]; then
        "$out/bin/$name" -runs=0 "$here/regressions/$name"
    fi
    (cd "$out/$name" && "$out/bin/$name" -max_total_time="$seconds" -max_len=3000 corpus)
done
