#!/usr/bin/env bash
# Whole runs of the program's workflow (startup check and one send run) against the sandbox serving the
# 10 MB or the 100 MB compact table as its only table: event-loop gaps and peak RSS, REPETITIONS times
# each (medians). The sandbox is a separate process, so its memory is not counted.
#   bench/send_run.sh [REPETITIONS]
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions=${1:-3}
source bench/common.sh

echo "| table | run s | peak RSS MiB | RSS / table | longest gap ms | longest other gap ms |"
echo "|---|---|---|---|---|---|"
for size in 10 100; do
    table="$data/table_${size}MB_compact.json"
    start_sandbox "$out/sandbox_run.txt" --endpoints getTabel --table getTabel="$table"
    value() { awk -v key="$1" '$1 == key { print $2 }' "$out/sandbox_run.txt"; }
    : >"$out/run_$size.txt"
    for ((i = 0; i < repetitions; i++)); do
        dir=$(mktemp -d)
        build-bench/bench/send_run_bench "$(value regional-server)" "$(value local-service)" "$(value token)" \
            "$(value npsn)" "$(value user)" "$dir" >>"$out/run_$size.txt"
        rm -rf "$dir"
    done
    kill $sandbox
    wait $sandbox 2>/dev/null || true
    bytes=$(stat -c %s "$table")
    awk -v t="${size}MB" -v s="$(field seconds <"$out/run_$size.txt" | median)" \
        -v k="$(field peak_rss_kib <"$out/run_$size.txt" | median)" -v b="$bytes" \
        -v g="$(field longest_gap_ms <"$out/run_$size.txt" | median)" \
        -v o="$(field other_gap_ms <"$out/run_$size.txt" | median)" \
        'BEGIN { printf "| %s | %.3f | %.0f | %.2f | %.0f | %.0f |\n", t, s, k / 1024, k * 1024 / b, g, o }'
done
