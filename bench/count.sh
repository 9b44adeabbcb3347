#!/usr/bin/env bash
# Instructions per call of each native and of its baseline, on the trivial agent under the
# UTF-8 code set, counted by callgrind; prints the table and writes it as TSV:
#   bench/count.sh BUILD_DIR [FILTER]      e.g. bench/count.sh build-bench "XelSetString 63 B"
# The build must have JXEL_BUILD_BENCH=ON. FILTER picks the cases whose "native text" name
# holds it. Output: BUILD_DIR/bench-count/instructions.tsv, columns native, text, bridge,
# baseline, bridge/baseline, target (at most), met.
set -euo pipefail
BUILD=$(cd "${1:?usage: bench/count.sh BUILD_DIR [FILTER]}" && pwd)
FILTER=${2:-}
# shellcheck source=/dev/null
. "$BUILD/bench-paths.sh"
OUT=$BUILD/bench-count
rm -rf "$OUT"
mkdir -p "$OUT"

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
        key = f[2] SUBSEP f[3]
        if (!(key in limit)) { order[++cases] = key; limit[key] = f[4] }
        if (!((f[1], key) in low) || f[5] < calls[f[1], key]) {
            if ((f[1], key) in low) high[f[1], key] = low[f[1], key]
            low[f[1], key] = $2; calls[f[1], key] = f[5]
        } else {
            high[f[1], key] = $2
        }
    }
    END {
        OFS = "\t"
        for (i = 1; i <= cases; i++) {
            key = order[i]
            split(key, k, SUBSEP)
            bridge = (high["bridge", key] - low["bridge", key]) / calls["bridge", key]
            baseline = (high["baseline", key] - low["baseline", key]) / calls["baseline", key]
            ratio = bridge / baseline
            print k[1], k[2], sprintf("%.0f", bridge), sprintf("%.0f", baseline),
                sprintf("%.3f", ratio), limit[key], ratio <= limit[key] + 0 ? "met" : "missed"
        }
    }' >"$OUT/instructions.tsv"

{
    printf 'native\ttext\tbridge\tbaseline\tratio\ttarget\t\n'
    awk -F'\t' -v OFS='\t' '{ if ($2 == "") $2 = "-"; $5 = $5 "x"; $6 = "<= " $6 "x"; print }' \
        "$OUT/instructions.tsv"
} | column -t -s $'\t'
