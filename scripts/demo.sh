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
    local target=$1 folder="$out/$2"
    mkdir -p "$folder"
    echo "== xoprex search --sequence examples/$(basename "$target") --collection examples/crp_sites.txt --out-dir $folder"
    local line
    line=$("$xoprex" search --sequence "$target" --collection "$root/examples/crp_sites.txt" \
        --options Options.txt --out-dir "$folder" | tail -n 1)
    echo "$line"
    local table=${line#Results table: }
    echo "-- first rows:"
    head -n 8 "$table" | cut -c 1-150
    echo
}

search "$root/examples/pPCP1.fas" fasta
search "$root/examples/pPCP1.gbk" genbank
echo "Results tables, run logs and the other logs are in $out/fasta and $out/genbank"
echo "(options used: $out/Options.txt, the factory defaults)"
