#!/usr/bin/env bash
# SendTable against `curl --data-binary` posting the same upload body to the same sandbox, in one run:
# the 10 MB and 100 MB compact tables, REPETITIONS times each, medians. Each SendTable runs in a process
# of its own (peak RSS per table); the sandbox runs as a separate process so its memory is not counted.
#   bench/send_table.sh [REPETITIONS]
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions=${1:-3}
source bench/common.sh

start_sandbox "$out/sandbox.txt" --table getTabel10="$data/table_10MB_compact.json" \
    --table getTabel100="$data/table_100MB_compact.json"
server=$(awk '/^regional-server /{print $2}' "$out/sandbox.txt")
local=$(awk '/^local-service /{print $2}' "$out/sandbox.txt")
npsn=$(awk '/^npsn /{print $2}' "$out/sandbox.txt")
token=$(awk '/^token /{print $2}' "$out/sandbox.txt")


echo "| table | SendTable s | curl s | ParseJsonUtf8 s | ratio to curl+parse | peak RSS MiB | RSS / table | longest gap ms | next gap ms |"
echo "|---|---|---|---|---|---|---|---|---|"
: >"$out/floor_rows.txt"
for size in 10 100; do
    table="$data/table_${size}MB_compact.json"
    body="$out/upload_${size}MB.json"
    { printf '{"data_json":'; cat "$table"; printf '}'; } >"$body"
    : >"$out/send_$size.txt"
    : >"$out/curl_$size.txt"
    : >"$out/curl_get_$size.txt"
    for ((i = 0; i < repetitions; i++)); do
        build-bench/bench/send_table_bench "$server" "$local" "getTabel$size" "$table" "$npsn" "$token" \
            >>"$out/send_$size.txt"
        curl -s -o /dev/null -w '%{time_total}\n' -H 'Content-Type: application/json' --data-binary @"$body" \
            "$server/api_api/kirim_data/$npsn/getTabel$size" >>"$out/curl_$size.txt"
        curl -s -o /dev/null -w '%{time_total}\n' -H "Authorization: Bearer $token" \
            "$local/WebService/getTabel$size?npsn=$npsn" >>"$out/curl_get_$size.txt"
    done
    rm -f "$body"
    send=$(field seconds <"$out/send_$size.txt" | median)
    parse=$(field parse_seconds <"$out/send_$size.txt" | median)
    peak=$(field peak_rss_kib <"$out/send_$size.txt" | median)
    gap=$(field longest_gap_ms <"$out/send_$size.txt" | median)
    next=$(field other_gap_ms <"$out/send_$size.txt" | median)
    curl_s=$(median <"$out/curl_$size.txt")
    bytes=$(stat -c %s "$table")
    awk -v t="${size}MB" -v s="$send" -v c="$curl_s" -v p="$parse" -v k="$peak" -v b="$bytes" -v g="$gap" -v n="$next" \
        'BEGIN { printf "| %s | %.3f | %.3f | %.3f | %.2f | %.0f | %.2f | %.0f | %.0f |\n",
                 t, s, c, p, s / (c + p), k / 1024, k * 1024 / b, g, n }'
    get_s=$(median <"$out/curl_get_$size.txt")
    awk -v t="${size}MB" -v s="$send" -v g="$get_s" -v c="$curl_s" \
        'BEGIN { printf "| %s | %.3f | %.3f | %.3f | %.2f |\n", t, s, g, c, s / (g + c) }' >>"$out/floor_rows.txt"
done

# The physical floor: curl fetching the same table plus curl posting the same body.
echo
echo "| table | SendTable s | curl GET s | curl POST s | ratio to GET+POST |"
echo "|---|---|---|---|---|"
cat "$out/floor_rows.txt"
