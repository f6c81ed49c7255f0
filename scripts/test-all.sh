#!/usr/bin/env bash
# Builds and runs every test: the native configuration over the simulated workstation, the same
# under AddressSanitizer and UBSan, the 32-bit Windows build (klagent.exe and its check, the
# portable tests under Wine), the fuzz targets for a minute, and the benchmarks once at a tiny
# size; the native configuration also runs scripts/run-example.sh on the bundled example office.
# Installs the Debian packages it needs when they are missing.
#
#   scripts/test-all.sh            every configuration
#   scripts/test-all.sh native     only the named ones (native, asan, win32, fuzz, bench)
#
# Where this machine cannot execute 32-bit programs, the Windows tests run under qemu-i386, or
# are skipped when that route is missing or switched off (scripts/wine-route.py says which);
# klagent.exe and the test programs are built and the exe checked either way.
#
# Exits non-zero when any configuration fails to configure, build or pass; the last line is a
# summary either way, and says how the Wine tests ran.
set -uo pipefail

cd "$(dirname "$0")/.." || exit 2
JOBS=${JOBS:-2}
CONFIGS=${*:-native asan win32 fuzz bench}
START=$(date +%s)

log() { echo "test-all: $*"; }

for preset in $CONFIGS; do
    case $preset in
        native | asan | win32 | fuzz | bench) ;;
        *) log "unknown configuration $preset (native, asan, win32, fuzz, bench)"; exit 2 ;;
    esac
done

# --- what the machine needs -------------------------------------------------------------------
if ! bash scripts/install-deps.sh all; then
    log "FAILED: could not install the packages it needs"
    exit 1
fi

# --- the configurations -----------------------------------------------------------------------
declare -A RESULT
FAILED=0

run_config() {
    local preset=$1 t0=$SECONDS
    log "=== $preset: configure"
    mkdir -p build
    if ! cmake --preset "$preset" >"build/configure-$preset.log" 2>&1; then
        cat "build/configure-$preset.log"
        RESULT[$preset]="FAIL (configure)"
        return 1
    fi
    log "=== $preset: build"
    if ! cmake --build --preset "$preset" -j "$JOBS"; then
        RESULT[$preset]="FAIL (build)"
        return 1
    fi
    log "=== $preset: test"
    if ! ctest --preset "$preset" -j "$JOBS" --no-tests=error; then
        RESULT[$preset]="FAIL (tests)"
        return 1
    fi
    # The README's first command, on the build just tested, so that it cannot rot unnoticed.
    if [ "$preset" = native ] && ! bash scripts/run-example.sh >build/example.log 2>&1; then
        cat build/example.log
        RESULT[$preset]="FAIL (scripts/run-example.sh)"
        return 1
    fi
    RESULT[$preset]="pass ($((SECONDS - t0)) s)"
}

# How the Wine tests ran, from the route the win32 configuration chose.
wine_sentence() {
    local route sentence
    if ! IFS=$'\t' read -r route sentence <build/win32/wine-route.txt 2>/dev/null; then
        echo "not run (the win32 configuration did not get that far)"
    elif [ "$route" = skip ] || [ "$route" = broken ] || [ "${RESULT[win32]}" != "FAIL (tests)" ]; then
        echo "$sentence"
    else
        echo "FAILED; they $sentence"
    fi
}

for preset in $CONFIGS; do
    run_config "$preset" || FAILED=1
done

SUMMARY=""
for preset in $CONFIGS; do
    SUMMARY+="$preset ${RESULT[$preset]}; "
done
SUMMARY="${SUMMARY%; } in $(( $(date +%s) - START )) s"
case " $CONFIGS " in
    *" win32 "*) SUMMARY+=". Wine tests: $(wine_sentence)" ;;
esac
if [ $FAILED = 0 ]; then
    log "ALL PASSED: $SUMMARY"
else
    log "FAILED: $SUMMARY"
fi
exit $FAILED
