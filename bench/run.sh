#!/usr/bin/env bash
# Runs both benchmarks against a Release build and writes bench/results.md and
# bench/results.png:   bench/run.sh BUILD_DIR
# The build must have JXEL_BUILD_BENCH=ON (./build.sh bench does all of it).
set -euo pipefail
BENCH=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "${1:?usage: bench/run.sh BUILD_DIR}" && pwd)
# shellcheck source=/dev/null
. "$BUILD/bench-paths.sh"
OUT=$BUILD/bench-out
rm -rf "$OUT"
mkdir -p "$OUT"

step() { printf '\n-- %s (%s)\n' "$*" "$(date -u +%H:%M:%S)"; }

{
    cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
    printf 'Machine: %s, %s cores, %s GiB RAM; %s %s; %s; %s. Run %s, load average %s at the start.\n' \
        "${cpu:-unknown CPU}" "$(nproc)" "$(awk '/MemTotal/ {printf "%.0f", $2/1048576}' /proc/meminfo)" \
        "$(uname -s)" "$(uname -r)" \
        "$("$JAVA" -version 2>&1 | head -1)" "$(g++ --version | head -1)" \
        "$(date -u '+%Y-%m-%d %H:%M UTC')" "$(cut -d' ' -f1 /proc/loadavg)"
} >"$OUT/machine.txt"
cat "$OUT/machine.txt"

# A fixed heap keeps resizing out of the rounds; no -Xcheck:jni, it would be measured too.
java_bench() {
    local run=$1 codeset=$2 encoding=$3
    XELAGT_CODESET=$codeset "$JAVA" -Xms512m -Xmx512m \
        -Djava.library.path="$LIBDIR" -Djxel.agent="$AGENT" -Djna.encoding="$encoding" \
        -cp "$CLASSPATH" com.brel.vorlend.ib.api.jxel.bench.Bench "$run" "$OUT/$run.tsv"
}

step "Java: natives, floors, JNA, scaling (local code set UTF-8)"
java_bench utf8 UTF-8 UTF-8
step "Java: texts with local code set ISO-8859-1"
java_bench latin1 ISO-8859-1 ISO-8859-1

step "C++: conversion functions against strdup, iconv and NewStringUTF"
"$CONVERSION_BENCH" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_min_time=0.05 --benchmark_counters_tabular=false \
    --benchmark_out="$OUT/conversion.csv" --benchmark_out_format=csv 2>&1 |
    grep -E '_median|^-|Benchmark|ERROR' || true
[ -s "$OUT/conversion.csv" ] || { echo "the conversion bench wrote nothing" >&2; exit 1; }

step "report"
"$JAVA" -cp "$CLASSPATH" com.brel.vorlend.ib.api.jxel.bench.Report "$OUT/machine.txt" \
    "$OUT/utf8.tsv" "$OUT/latin1.tsv" "$OUT/conversion.csv" "$BENCH/results.md" \
    "$OUT/chart" "$BENCH/results.png"
gnuplot "$OUT/chart/chart.gp"
echo "wrote $BENCH/results.md and $BENCH/results.png"
