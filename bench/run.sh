#!/usr/bin/env bash
# Builds the benchmarks, generates the table replies when missing, runs the throughput benchmarks
# (median of repeated runs) and the peak-memory measurements, and prints the summary table.
#   bench/run.sh [REPETITIONS]
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions=${1:-5}
source bench/common.sh

# Repetitions of all benchmarks are interleaved at random, so that a parser and its peers share the
# machine's load alike.
build-bench/bench/json_bench --data="$data" --benchmark_repetitions="$repetitions" \
    --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true --benchmark_format=json --benchmark_out="$out/throughput.json" \
    --benchmark_out_format=json >/dev/null

: >"$out/memory.txt"
for table in table_100MB_pretty table_100MB_compact; do
    for parser in utf8 decode nlohmann rapidjson; do
        echo "$table $(build-bench/bench/json_peak_memory "$parser" "$data/$table.json")" >>"$out/memory.txt"
    done
done
python3 bench/summarize.py "$out/throughput.json" "$out/memory.txt"
