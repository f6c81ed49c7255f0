#!/usr/bin/env bash
# Builds and runs every test: the native configuration over the simulated workstation, the same
# under AddressSanitizer and UBSan, and the 32-bit Windows build (klagent.exe and its check, the
# portable tests under Wine). Installs the Debian packages it needs when they are missing.
#
#   scripts/test-all.sh            all three configurations
#   scripts/test-all.sh native     only the named ones (native, asan, win32)
#
# Exits non-zero when any configuration fails to configure, build or pass; the last line is a
# summary either way.
set -uo pipefail

cd "$(dirname "$0")/.." || exit 2
JOBS=${JOBS:-2}
CONFIGS=${*:-native asan win32}
START=$(date +%s)

log() { echo "test-all: $*"; }

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
    RESULT[$preset]="pass ($((SECONDS - t0)) s)"
}

for preset in $CONFIGS; do
    case $preset in
        native | asan | win32) ;;
        *) log "unknown configuration $preset (native, asan, win32)"; exit 2 ;;
    esac
    run_config "$preset" || FAILED=1
done

SUMMARY=""
for preset in $CONFIGS; do
    SUMMARY+="$preset ${RESULT[$preset]}; "
done
if [ $FAILED = 0 ]; then
    log "ALL PASSED: ${SUMMARY%; } in $(( $(date +%s) - START )) s"
else
    log "FAILED: ${SUMMARY%; } in $(( $(date +%s) - START )) s"
fi
exit $FAILED
