#!/usr/bin/env bash
# Times whole searches of the E. coli 536 genome (4.94 Mb, from the Debian
# package bowtie-examples) with the CRP sites, printing wall seconds and peak
# memory. Usage: bench/genome.sh [xoprex binary] [extra search flags...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
xoprex=$(realpath "${1:-$root/build/src/cli/xoprex}")
shift || true
data="$root/bench/data"
mkdir -p "$data"

genome=$("$root/bench/fetch_genome.sh" "$data")

# options_file METHOD THRESHOLD LITERAL INTEGRATIVE: option 1 (logs) off.
options_file() {
    local file="$data/options_m$1_t$2_l$3_i$4.txt"
    "$xoprex" options --write-defaults "$file" > /dev/null
    python3 - "$file" "$@" <<'PY'
import sys
path, method, threshold, literal, integrative = sys.argv[1:6]
text = open(path).read()
parts = text.split("$")
values = [p.split("\n", 1) for p in parts[1:]]
new = {1: "0", 2: method, 4: threshold, 7: "0", 9: literal, 10: integrative,
       11: "-500", 12: "-1", 13: "1", 14: "500", 16: "1"}
out = parts[0]
for k, v in enumerate(values, start=1):
    rest = "\n" + v[1] if len(v) > 1 else ""
    out += "$" + new.get(k, v[0]) + rest
open(path, "w").write(out)
PY
    echo "$file"
}

run() {
    local label=$1 options=$2
    shift 2
    local outdir="$data/out"
    mkdir -p "$outdir"
    local stats
    stats=$( { /usr/bin/time -f "%e %M" "$xoprex" search --sequence "$genome" \
        --collection "$root/examples/crp_sites.txt" --options "$options" --out-dir "$outdir" \
        "$@" > "$outdir/stdout.txt"; } 2>&1 | tail -n 1)
    local table hits
    table=$(tail -n 1 "$outdir/stdout.txt" | sed 's/^Results table: //')
    hits=$(grep '^Sites,' "$table" | cut -d, -f2)
    printf '%-40s %6.2f s  %7.1f MB  %8s hits\n' "$label" "${stats% *}" \
        "$(awk -v kb="${stats#* }" 'BEGIN { print kb / 1024 }')" "$hits"
}

echo "E. coli 536 ($(stat -c %s "$genome") bytes), CRP sites, both strands"
run "method 5, threshold 0.8" "$(options_file 5 0.8 0 0)" "$@"
run "method 5, literal cut-off 3.5 (~100k hits)" "$(options_file 5 3.5 1 0)" "$@"
run "method 5, 0.8, integrative X=-500 J=500" "$(options_file 5 0.8 0 1)" "$@"
