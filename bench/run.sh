#!/usr/bin/env bash
# Counts the natives' instructions (bench/count.sh), runs both benchmarks against a Release
# build and writes bench/results.md and bench/results.png:   bench/run.sh BUILD_DIR
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

# Percentage of CPU time other processes used over one second.
busy_percent() {
    local a b
    read -r -a a < <(head -1 /proc/stat)
    sleep 1
    read -r -a b < <(head -1 /proc/stat)
    local total=0 i
    for i in 1 2 3 4 5 6 7 8; do total=$((total + b[i] - a[i])); done
    local idle=$((b[4] - a[4] + b[5] - a[5]))
    echo $(( total > 0 ? 100 * (total - idle) / total : 0 ))
}

# Other work on the machine skews every ratio, the scaling ones most: wait up to a
# minute for it to calm down, and say in the results how busy it was.
busy=$(busy_percent)
for _ in $(seq 30); do
    [ "$busy" -le 10 ] && break
    echo "the machine is ${busy}% busy; waiting for it to calm down"
    sleep 1
    busy=$(busy_percent)
done

# A second JDK, when the machine has one (this image carries a Temurin 25): the bridge run
# goes there too, and its ratios get a column of their own.
SECOND_JAVA=${SECOND_JAVA:-$(ls /usr/lib/jvm/temurin-25*/bin/java 2>/dev/null | head -1 || true)}
second_label=""
if [ -n "$SECOND_JAVA" ]; then
    major=$("$SECOND_JAVA" -version 2>&1 | head -1 | sed -E 's/.*version "([0-9]+).*/\1/')
    second_label="bridge-jdk$major"
fi

{
    cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
    printf 'Machine: %s, %s cores, %s GiB RAM; %s %s; %s; %s. Run %s; other processes kept the CPUs %s%% busy at the start.\n' \
        "${cpu:-unknown CPU}" "$(nproc)" "$(awk '/MemTotal/ {printf "%.0f", $2/1048576}' /proc/meminfo)" \
        "$(uname -s)" "$(uname -r)" \
        "$("$JAVA" -version 2>&1 | head -1)" "$(g++ --version | head -1)" \
        "$(date -u '+%Y-%m-%d %H:%M UTC')" "$busy"
    [ -z "$SECOND_JAVA" ] || printf 'Second JDK: %s (%s).\n' \
        "$("$SECOND_JAVA" -version 2>&1 | head -1)" "$SECOND_JAVA"
} >"$OUT/machine.txt"
cat "$OUT/machine.txt"

# A fixed heap keeps resizing out of the rounds; no -Xcheck:jni, it would be measured too.
java_bench() {
    local run=$1 codeset=$2 encoding=$3
    XELAGT_CODESET=$codeset "$JAVA" -Xms512m -Xmx512m \
        -Djava.library.path="$LIBDIR" -Djxel.agent="$AGENT" -Djna.encoding="$encoding" \
        -cp "$CLASSPATH" com.brel.vorlend.ib.api.jxel.bench.Bench "$run" "$OUT/$run.tsv"
}

# The natives and their baselines on the trivial agent, with the JVM given.
bridge_bench() {
    local java=$1 label=$2
    # Many short rounds: on a busy machine most of them run undisturbed.
    "$java" -Xms512m -Xmx512m -Djava.library.path="$TRIVIAL_DIR" \
        -Djxel.bench.roundMillis=2 -Djxel.bench.rounds=151 \
        -cp "$CLASSPATH" com.brel.vorlend.ib.api.jxel.bench.Bench bridge "$OUT/$label.tsv" "$label"
}

# CPU time of all processes and of this script's children, in clock ticks.
busy_ticks() { head -1 /proc/stat | awk '{print $2 + $3 + $4 + $7 + $8 + $9}'; }
all_ticks() { head -1 /proc/stat | awk '{s = 0; for (i = 2; i <= 9; i++) s += $i; print s}'; }
own_ticks() { awk '{print $16 + $17}' "/proc/$$/stat"; }

# Runs a phase of the bench and notes how much of the machine others took meanwhile.
phase() {
    local name=$1
    shift
    local busy0 all0 own0
    busy0=$(busy_ticks) all0=$(all_ticks) own0=$(own_ticks)
    "$@"
    local busy=$(($(busy_ticks) - busy0)) all=$(($(all_ticks) - all0)) own=$(($(own_ticks) - own0))
    local others=$(( all > 0 ? 100 * (busy - own) / all : 0 ))
    [ "$others" -lt 0 ] && others=0
    echo "- $name: other processes took ${others}% of the CPUs." >>"$OUT/load.txt"
}

# Repetitions of all cases in a random order: each case's are spread over the whole run,
# so that a stretch of seconds when this machine runs slow does not take all of them.
conversion_bench() {
    "$CONVERSION_BENCH" --benchmark_repetitions=9 --benchmark_report_aggregates_only=true \
        --benchmark_min_time=0.05 --benchmark_enable_random_interleaving=true \
        --benchmark_counters_tabular=false \
        --benchmark_out="$OUT/conversion.csv" --benchmark_out_format=csv 2>&1 |
        grep -E '_median|^-|Benchmark|ERROR' || true
}

step "instructions per call: the bridge against its baselines, trivial agent (callgrind)"
"$BENCH/count.sh" "$BUILD"

step "Java: the bridge against its baselines, trivial agent"
phase "Java, bridge, JDK 17" bridge_bench "$JAVA" bridge
if [ -n "$second_label" ]; then
    step "Java: the same on $second_label"
    phase "Java, bridge, ${second_label#bridge-}" bridge_bench "$SECOND_JAVA" "$second_label"
fi
step "Java: natives, floors, JNA, scaling (local code set UTF-8)"
phase "Java, UTF-8" java_bench utf8 UTF-8 UTF-8
step "Java: texts with local code set ISO-8859-1"
phase "Java, ISO-8859-1" java_bench latin1 ISO-8859-1 ISO-8859-1

step "C++: conversion functions against strdup, iconv and NewStringUTF"
phase "C++ conversion" conversion_bench
[ -s "$OUT/conversion.csv" ] || { echo "the conversion bench wrote nothing" >&2; exit 1; }
{ echo; cat "$OUT/load.txt"; } >>"$OUT/machine.txt"
cat "$OUT/load.txt"

step "report"
bridge_tsvs=("$OUT/bridge.tsv")
[ -z "$second_label" ] || bridge_tsvs+=("$OUT/$second_label.tsv")
"$JAVA" -cp "$CLASSPATH" com.brel.vorlend.ib.api.jxel.bench.Report "$OUT/machine.txt" \
    "$BUILD/bench-count/instructions.tsv" "${bridge_tsvs[@]}" "$OUT/utf8.tsv" "$OUT/latin1.tsv" "$OUT/conversion.csv" "$BENCH/results.md" \
    "$OUT/chart" "$BENCH/results.png"
gnuplot "$OUT/chart/chart.gp"
echo "wrote $BENCH/results.md and $BENCH/results.png"
