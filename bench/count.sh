#!/usr/bin/env bash
# Instructions per call of each native and of its baseline, on the trivial agent under the
# UTF-8 code set, counted by callgrind; prints the table and writes it as TSV:
#   bench/count.sh BUILD_DIR [FILTER]      e.g. bench/count.sh build-bench "XelSetString 63 B"
# The build must have JXEL_BUILD_BENCH=ON (the bench preset); what the count needs is
# brought up to date first. FILTER picks the cases whose "native text" name holds it.
# Output: BUILD_DIR/bench-count/instructions.tsv, columns native, text, bridge, baseline,
# bridge/baseline, target (at most), met.
set -euo pipefail
BUILD=$(cd "${1:?usage: bench/count.sh BUILD_DIR [FILTER]}" && pwd)
FILTER=${2:-}
OUT=$BUILD/bench-count
rm -rf "$OUT"
mkdir -p "$OUT"
cmake --build "$BUILD" --target jxel_native_driver jxel_bench >"$OUT/build.log" 2>&1 ||
    { cat "$OUT/build.log" >&2; exit 1; }
# shellcheck source=/dev/null
. "$BUILD/bench-paths.sh"

# Collected only inside the natives (bridge and baselines alike, with all they call), and
# dumped after each batch; the driver runs a batch of N calls, then one of 2N.
valgrind --tool=callgrind --collect-atstart=no \
    --toggle-collect='Java_com_brel_vorlend_ib_api_jxel_*' \
    --callgrind-out-file="$OUT/callgrind.out" \
    "$NATIVE_DRIVER" "$CLASSPATH" "$TRIVIAL_DIR" "$FILTER" >"$OUT/driver.log" 2>&1 ||
    { cat "$OUT/driver.log" >&2; exit 1; }

# Per call: (count of the 2N batch - count of the N batch) / N, so that nothing done once
# per batch is counted.
find "$OUT" -name 'callgrind.out.*' | sort -V | xargs awk '
    /^desc: Trigger: / { name = sub(/^desc: Trigger: Client Request: /, "") ? $0 : "" }
    /^totals: / && split(name, f, "|") == 5 {  # side, native, text, limit, calls
        side = f[1]
        key = f[2] SUBSEP f[3]
        if (!(key in limit)) { order[++cases] = key; limit[key] = f[4] }
        # The N batch comes first, then the 2N batch.
        if ((side, key) in first) perCall[side, key] = ($2 - first[side, key]) / (f[5] / 2)
        else first[side, key] = $2
    }
    END {
        OFS = "\t"
        for (i = 1; i <= cases; i++) {
            key = order[i]
            split(key, k, SUBSEP)
            ratio = perCall["bridge", key] / perCall["baseline", key]
            print k[1], k[2], sprintf("%.0f", perCall["bridge", key]),
                sprintf("%.0f", perCall["baseline", key]), sprintf("%.3f", ratio), limit[key],
                ratio <= limit[key] + 0 ? "met" : "missed"
        }
    }' >"$OUT/instructions.tsv"

awk -F'\t' 'BEGIN { printf "%-21s %-20s %9s %9s %7s %9s\n", "native", "text", "bridge",
                          "baseline", "ratio", "target" }
    { printf "%-21s %-20s %9s %9s %6sx  <= %sx %s\n", $1, $2 == "" ? "-" : $2, $3, $4, $5, $6,
             $7 }' "$OUT/instructions.tsv"
