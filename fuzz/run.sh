#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz, clang) into build/fuzz and runs each for FUZZ_SECONDS
# (default 60), starting from the seeds in fuzz/corpus/<target>. New inputs go to
# build/fuzz/corpus/<target>; a crash leaves its input in build/fuzz/artifacts and
# fails the run. Usage: fuzz/run.sh [target...]   (targets: utf8 convert standin)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=$ROOT/build/fuzz
SECONDS_EACH=${FUZZ_SECONDS:-60}
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(utf8 convert standin)

# A build/fuzz of the days when fuzz/ was a project of its own cannot be configured again.
grep -qs '^CMAKE_HOME_DIRECTORY.*/fuzz$' "$BUILD/CMakeCache.txt" && rm -rf "$BUILD/CMakeCache.txt" "$BUILD/CMakeFiles"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target "${TARGETS[@]/#/fuzz_}"

mkdir -p "$BUILD/artifacts"
summary=()
for target in "${TARGETS[@]}"; do
    printf '\n== fuzz_%s for %s s\n' "$target" "$SECONDS_EACH"
    mkdir -p "$BUILD/corpus/$target"
    log=$BUILD/fuzz_$target.log
    status=0
    "$BUILD/bin/fuzz_$target" -max_total_time="$SECONDS_EACH" -timeout=20 -rss_limit_mb=2048 \
        -max_len=4096 -print_final_stats=1 -artifact_prefix="$BUILD/artifacts/$target-" \
        "$BUILD/corpus/$target" "$ROOT/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    if [ $status -ne 0 ]; then
        tail -60 "$log"
        echo "fuzz_$target FAILED (exit $status); the input is in $BUILD/artifacts/" >&2
        exit 1
    fi
    grep -E '^(Done|stat::)' "$log" || true
    summary+=("fuzz_$target: ${runs:-?} executions in $SECONDS_EACH s, no failure")
done
printf '\n'
printf '%s\n' "${summary[@]}"
