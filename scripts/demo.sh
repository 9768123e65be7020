#!/usr/bin/env bash
# Runs real searches on the bundled examples and says where the results are.
#   scripts/demo.sh <xoprex binary> <output folder>
set -euo pipefail
xoprex=$(realpath "$1")
out=$2
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
out=$(realpath "$out")

cd "$out"
"$xoprex" options --write-defaults Options.txt > /dev/null

search() {
    local target=$1
    echo "== xoprex search --sequence examples/$(basename "$target") --collection examples/crp_sites.txt"
    local line
    line=$("$xoprex" search --sequence "$target" --collection "$root/examples/crp_sites.txt" \
        --options Options.txt --out-dir "$out" | tail -n 1)
    echo "$line"
    local table=${line#Results table: }
    echo "-- first rows:"
    head -n 8 "$table" | cut -c 1-150
    echo
}

search "$root/examples/pPCP1.fas"
search "$root/examples/pPCP1.gbk"
echo "Results, run logs and collection logs are in $out"
