#!/usr/bin/env bash
# Side-by-side timings of whole processes on the same work: the plain-loop
# baseline (bench_baseline), `xoprex search` and, when python3-biopython is
# installed, the Biopython equivalent (bench/biopython_search.py). CRP sites,
# method 5, threshold 0.8, both strands, on
#   (a) the E. coli 536 genome (4.94 Mb, one record, from the Debian package
#       bowtie-examples), and
#   (b) a 50 Mb target of 25,000 records of 2 kb cut from that genome at
#       fixed positions (built once under bench/data/).
# On (a) it also times the integrative search (X = -500, J = 500) and a
# search keeping about 100,000 hits (literal cut-off 3.5), against the
# default search.
#
# Each program runs RUNS times (default 5); the table shows the median wall
# time of the whole process (milliseconds, taken around /usr/bin/time), the
# ratio to the baseline, the median peak resident memory (/usr/bin/time %M)
# and that memory over the input file's size, and the number of sites found.
#
#   bench/compare.sh [build folder] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
runs=${2:-5}
xoprex="$build/src/cli/xoprex"
baseline="$build/bench/bench_baseline"
sites="$root/examples/crp_sites.txt"
data="$root/bench/data"
mkdir -p "$data"

for program in "$xoprex" "$baseline"; do
    if [ ! -x "$program" ]; then
        echo "compare.sh: $program is missing; build the xoprex and bench_baseline targets" >&2
        exit 1
    fi
done
if [ ! -x /usr/bin/time ]; then
    echo "compare.sh: /usr/bin/time is missing (Debian package time)" >&2
    exit 1
fi
if ! [[ "$runs" =~ ^[1-9][0-9]*$ ]]; then
    echo "compare.sh: runs must be a positive whole number, not '$runs'" >&2
    exit 1
fi

# --- inputs -----------------------------------------------------------------
genome="$data/ecoli536.fna"
if [ ! -s "$genome" ]; then
    (cd "$data" && apt-get download bowtie-examples > /dev/null)
    dpkg-deb -x "$data"/bowtie-examples_*.deb "$data/pkg"
    gunzip -c "$data/pkg/usr/share/doc/bowtie/examples/genomes/NC_008253.fna.gz" > "$genome"
    rm -rf "$data/pkg" "$data"/bowtie-examples_*.deb
fi

# 25,000 records of 2,000 bases, lines of 70; record i starts at
# (i * 2654435761) mod (genome length - 2000): fixed, spread over the genome.
records="$data/ecoli536_25000x2kb.fna"
if [ ! -s "$records" ]; then
    python3 - "$genome" "$records.part" <<'PY'
import sys
source, target = sys.argv[1:3]
genome = "".join(l.strip() for l in open(source) if not l.startswith(">"))
span = len(genome) - 2000
with open(target, "w") as out:
    for i in range(25000):
        start = (i * 2654435761) % span
        piece = genome[start:start + 2000]
        out.write(f">piece_{i + 1} ecoli536:{start + 1}-{start + 2000}\n")
        for k in range(0, 2000, 70):
            out.write(piece[k:k + 70] + "\n")
PY
    mv "$records.part" "$records"
fi

# options_file NAME KEY=VALUE...: the factory defaults with option 1 (logs)
# off, method 5, and the given options changed.
options_file() {
    local file="$data/compare_$1.txt"
    shift
    "$xoprex" options --write-defaults "$file" > /dev/null
    python3 - "$file" 1=0 2=5 "$@" <<'PY'
import sys
path = sys.argv[1]
new = {int(k): v for k, v in (arg.split("=", 1) for arg in sys.argv[2:])}
parts = open(path).read().split("$")
out = parts[0]
for number, part in enumerate(parts[1:], start=1):
    value, newline, rest = part.partition("\n")
    out += "$" + new.get(number, value) + newline + rest
open(path, "w").write(out)
PY
    echo "$file"
}
opt_default=$(options_file default)
opt_integrative=$(options_file integrative 10=1 11=-500 14=500)
opt_hits=$(options_file hits 4=3.5 9=1)

# The Python that has Biopython, if any.
biopython=""
for candidate in /usr/bin/python3 python3; do
    if command -v "$candidate" > /dev/null && "$candidate" -c "import Bio.motifs" 2> /dev/null; then
        biopython=$(command -v "$candidate")
        break
    fi
done

# --- measuring --------------------------------------------------------------
outdir="$data/compare_out"
mkdir -p "$outdir"

# measure KIND COMMAND...: runs COMMAND $runs times; sets the globals ms and
# kb (medians of wall milliseconds and peak KiB) and hits (sites found on the
# last run). KIND says where the count is: "xoprex" (results table) or
# "count" (a "passing N" line on standard output).
measure() {
    local kind=$1
    shift
    local walls=() peaks=() i start end stats
    for ((i = 0; i < runs; ++i)); do
        rm -f "$outdir"/*.csv
        start=$(date +%s%N)
        if ! /usr/bin/time -o "$outdir/time.txt" -f "%e %M" "$@" > "$outdir/stdout.txt" \
            2> "$outdir/stderr.txt"; then
            echo "compare.sh: failed: $*" >&2
            cat "$outdir/stderr.txt" >&2
            exit 1
        fi
        end=$(date +%s%N)
        stats=$(tail -n 1 "$outdir/time.txt")
        walls+=("$(((end - start) / 1000))")
        peaks+=("${stats#* }")
    done
    ms=$(printf '%s\n' "${walls[@]}" | sort -n | awk '{v[NR] = $1}
        END {m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.1f", m / 1000}')
    kb=$(printf '%s\n' "${peaks[@]}" | sort -n | awk '{v[NR] = $1}
        END {m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m}')
    if [ "$kind" = xoprex ]; then
        local table
        table=$(sed -n 's/^Results table: //p' "$outdir/stdout.txt" | tail -n 1)
        hits=$(grep '^Sites,' "$table" | head -n 1 | cut -d, -f2)
    else
        hits=$(sed -n 's/^passing //p' "$outdir/stdout.txt")
    fi
}

row() {  # LABEL MS KB HITS REFERENCE_MS INPUT_BYTES
    printf '%-40s %9.1f %8.2fx %9.1f %7.2fx %9s\n' "$1" "$2" "$(echo "$2 / $5" | bc -l)" \
        "$(echo "$3 / 1024" | bc -l)" "$(echo "$3 * 1024 / $6" | bc -l)" "$4"
}

header() {
    printf '%-40s %9s %9s %9s %8s %9s\n' "" "wall ms" "$1" "peak MB" "x input" "sites"
}

compare_target() {  # TITLE FILE
    local title=$1 target=$2 bytes base_ms
    bytes=$(stat -c %s "$target")
    echo
    echo "$title: $(printf "%'d" "$bytes") bytes, $(grep -c '^>' "$target") record(s)"
    header "x base"
    measure count "$baseline" "$target" "$sites"
    base_ms=$ms
    row "baseline (plain loop, 1 thread)" "$ms" "$kb" "$hits" "$base_ms" "$bytes"
    measure xoprex "$xoprex" search --sequence "$target" --collection "$sites" \
        --options "$opt_default" --out-dir "$outdir/"
    search_ms=$ms
    row "xoprex search (all cores)" "$ms" "$kb" "$hits" "$base_ms" "$bytes"
    measure xoprex "$xoprex" search --sequence "$target" --collection "$sites" \
        --options "$opt_default" --out-dir "$outdir/" --threads 1
    row "xoprex search --threads 1" "$ms" "$kb" "$hits" "$base_ms" "$bytes"
    if [ -n "$biopython" ]; then
        measure count "$biopython" "$root/bench/biopython_search.py" "$target" "$sites"
        row "Biopython pssm.search (log-odds)" "$ms" "$kb" "$hits" "$base_ms" "$bytes"
    else
        echo "Biopython: not installed (Debian package python3-biopython), skipped"
    fi
}

echo "CRP sites ($(grep -c . "$sites") x $(head -n 1 "$sites" | tr -d '\r\n' | wc -c)), method 5," \
    "threshold 0.8 (normal fit), both strands;" \
    "medians of $runs runs; $(nproc) cores"
compare_target "E. coli 536" "$genome"
genome_bytes=$(stat -c %s "$genome")
genome_search_ms=$search_ms

echo
echo "E. coli 536, xoprex search (all cores) against its default run"
header "x dflt"
measure xoprex "$xoprex" search --sequence "$genome" --collection "$sites" \
    --options "$opt_integrative" --out-dir "$outdir/"
row "integrative, X=-500 J=500" "$ms" "$kb" "$hits" "$genome_search_ms" "$genome_bytes"
measure xoprex "$xoprex" search --sequence "$genome" --collection "$sites" \
    --options "$opt_hits" --out-dir "$outdir/"
row "literal cut-off 3.5" "$ms" "$kb" "$hits" "$genome_search_ms" "$genome_bytes"

compare_target "25,000 records of 2 kb" "$records"
