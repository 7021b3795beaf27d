# Sourced by the benchmark scripts: builds the benchmarks, generates the table replies when missing, and
# offers the helpers they share. Expects to run from the repository's root.
data=bench-data
out=build-bench/results

make bench >/dev/null
if [ ! -f "$data/table_100MB_compact.json" ]; then
    python3 tools/gen_table.py "$data" >/dev/null
    # The generator is deterministic: its output must be the tables every published figure was measured on.
    diff -u tools/gen_table.MANIFEST.txt "$data/MANIFEST.txt" >&2 ||
        { echo "the generated tables differ from tools/gen_table.MANIFEST.txt" >&2; exit 1; }
fi
mkdir -p "$out"

# The median of the numbers on standard input, one per line.
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
# The value of NAME=value in lines like "a=1 NAME=2 b=3".
field() { sed -n "s/^\(.* \)\{0,1\}$1=\([^ ]*\).*/\2/p"; }

# Starts murenta-sandbox on free ports with the given options, its announcement going to the file $1,
# and waits until it serves; $sandbox is then its process id, stopped when the script exits.
start_sandbox() {
    local announcement=$1
    shift
    build-bench/sandbox/murenta-sandbox --local-port 0 --server-port 0 --quiet --record-limit 0 "$@" \
        >"$announcement" &
    sandbox=$!
    trap 'kill $sandbox 2>/dev/null || true' EXIT
    until grep -q '^user ' "$announcement" 2>/dev/null; do
        kill -0 $sandbox || { echo "the sandbox did not start" >&2; exit 1; }
        sleep 0.1
    done
}
