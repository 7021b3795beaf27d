#!/usr/bin/env bash
# Whole runs of the program's workflow (startup check and one send run) against the sandbox serving the
# 10 MB or the 100 MB compact table as its only table: event-loop gaps and peak RSS, REPETITIONS times
# each (medians). The sandbox is a separate process, so its memory is not counted.
#   bench/send_run.sh [REPETITIONS]
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions=${1:-3}
data=bench-data
out=build-bench/results
shared=${MTH_SHARED_DIR:-$(cd .. && pwd)/shared}

make bench >/dev/null
[ -f "$data/table_100MB_compact.json" ] || python3 "$shared/tools/gen_table.py" "$data" >/dev/null
mkdir -p "$out"
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
field() { sed -n "s/^\(.* \)\{0,1\}$1=\([^ ]*\).*/\2/p"; }

echo "| table | run s | peak RSS MiB | RSS / table | longest gap ms (parse) | longest other gap ms |"
echo "|---|---|---|---|---|---|"
for size in 10 100; do
    table="$data/table_${size}MB_compact.json"
    build-bench/sandbox/murenta-sandbox --local-port 0 --server-port 0 --quiet --record-limit 0 \
        --endpoints getTabel --table getTabel="$table" >"$out/sandbox_run.txt" &
    sandbox=$!
    trap 'kill $sandbox 2>/dev/null || true' EXIT
    until grep -q '^user ' "$out/sandbox_run.txt" 2>/dev/null; do
        kill -0 $sandbox || { echo "the sandbox did not start" >&2; exit 1; }
        sleep 0.1
    done
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
