#!/usr/bin/env bash
# Side-by-side timings of whole processes on the same work: the plain-loop
# baseline (bench_baseline), the streaming yardstick (bench_streaming: reads
# as it scans, with the search's kernel, and writes nothing), `xoprex search`
# and, when python3-biopython is installed, the Biopython equivalent
# (bench/biopython_search.py). CRP sites,
# method 5, threshold 0.8, both strands, on
#   (a) the E. coli 536 genome (4.94 Mb, one record, from the Debian package
#       bowtie-examples), and
#   (b) a 50 Mb target of 25,000 records of 2 kb cut from that genome at
#       fixed positions (built once under bench/data/).
# On (a) it also times the integrative search (X = -500, J = 500) and a
# search keeping about 100,000 hits (literal cut-off 3.5), against the
# default search. On (b) it times xoprex against the streaming yardstick,
# and on (b) four times over (200 Mb) it shows that memory does not grow
# with the file. Last, on (a), 20 collections in one pass against one.
#
# Each program runs RUNS times (default 5); the table shows the median wall
# time of the whole process (milliseconds, taken around /usr/bin/time), the
# ratio to the baseline, the median peak resident memory (/usr/bin/time %M)
# and that memory over the input file's size, and the number of sites found
# (summed over the collections of a run of several).
#
#   bench/compare.sh [build folder] [runs]
# It needs python3 (to build the inputs) and /usr/bin/time. With
# XOPREX_BEFORE naming another xoprex binary (an earlier build), that one runs
# every xoprex search too, in the same rounds, and gets rows of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
runs=${2:-5}
xoprex="$build/src/cli/xoprex"
before=${XOPREX_BEFORE:-}
baseline="$build/bench/bench_baseline"
streaming="$build/bench/bench_streaming"
sites="$root/examples/crp_sites.txt"
data="$root/bench/data"
mkdir -p "$data"

for program in "$xoprex" "$baseline" "$streaming"; do
    if [ ! -x "$program" ]; then
        echo "compare.sh: $program is missing; build the xoprex, bench_baseline and" \
            "bench_streaming targets" >&2
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
genome=$("$root/bench/fetch_genome.sh" "$data")

# 25,000 records of 2,000 bases cut from the genome.
records=$("$root/bench/many_records.sh" "$data")

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

# The Python that has Biopython, if any (BIOPYTHON names the interpreters to
# try, in order).
biopython=""
for candidate in ${BIOPYTHON:-/usr/bin/python3 python3}; do
    if command -v "$candidate" > /dev/null && "$candidate" -c "import Bio.motifs" 2> /dev/null; then
        biopython=$(command -v "$candidate")
        break
    fi
done

# --- measuring --------------------------------------------------------------
outdir="$data/compare_out"
mkdir -p "$outdir"
declare -A command kind walls peaks

# program NAME KIND COMMAND...: registers a program to time. KIND says where
# its count of sites is: "xoprex" (the results table it names) or "count" (a
# "passing N" line on its standard output).
program() {
    local name=$1
    kind[$name]=$2
    shift 2
    command[$name]=$(printf '%q ' "$@")
    walls[$name]=""
    peaks[$name]=""
}

# round NAME...: runs each program once, in turn, adding its wall time
# (microseconds, taken around /usr/bin/time) and peak KiB to its lists.
# Taking the programs in turn, round after round, spreads any change in the
# machine's load over all of them alike.
#
# rounds COUNT NAME...: COUNT rounds, each starting one program further on.
# A program that follows one which has just freed a lot of memory is
# slower (on virtual machines the host takes freed pages back and has to
# supply them again), so a fixed order would always charge the same
# programs.
rounds() {
    local count=$1 r k
    shift
    local names=("$@")
    for ((r = 0; r < count; ++r)); do
        local turn=()
        for ((k = 0; k < ${#names[@]}; ++k)); do
            turn+=("${names[(r + k) % ${#names[@]}]}")
        done
        round "${turn[@]}"
    done
}
round() {
    local name start end
    for name in "$@"; do
        rm -rf "${outdir:?}/$name"
        mkdir -p "$outdir/$name"
        start=$(date +%s%N)
        if ! eval "/usr/bin/time -o $outdir/$name/time.txt -f '%e %M' ${command[$name]}" \
            > "$outdir/$name/stdout.txt" 2> "$outdir/$name/stderr.txt"; then
            echo "compare.sh: failed: ${command[$name]}" >&2
            cat "$outdir/$name/stderr.txt" >&2
            exit 1
        fi
        end=$(date +%s%N)
        walls[$name]+=" $(((end - start) / 1000))"
        peaks[$name]+=" $(tail -n 1 "$outdir/$name/time.txt" | cut -d' ' -f2)"
    done
}

median() {
    tr ' ' '\n' <<< "$1" | grep . | sort -n | awk '{v[NR] = $1}
        END {printf "%.1f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
ms() { echo "$(median "${walls[$1]}") / 1000" | bc -l; }
kb() { median "${peaks[$1]}"; }

sites_found() {
    if [ "${kind[$1]}" = xoprex ]; then
        # Every table the run names (one per collection), summed.
        local table total=0
        while IFS= read -r table; do
            total=$((total + $(grep '^Sites,' "$table" | head -n 1 | cut -d, -f2)))
        done < <(sed -n 's/^Results table: //p' "$outdir/$1/stdout.txt")
        echo "$total"
    else
        sed -n 's/^passing //p' "$outdir/$1/stdout.txt"
    fi
}

header() {
    printf '%-40s %9s %9s %9s %8s %9s\n' "" "wall ms" "$1" "peak MB" "x input" "sites"
}

row() {  # LABEL NAME REFERENCE_NAME INPUT_BYTES
    local time memory
    time=$(ms "$2")
    memory=$(kb "$2")
    printf '%-40s %9.1f %8.2fx %9.1f %7.2fx %9s\n' "$1" "$time" "$(echo "$time / $(ms "$3")" | bc -l)" \
        "$(echo "$memory / 1024" | bc -l)" "$(echo "$memory * 1024 / $4" | bc -l)" \
        "$(sites_found "$2")"
}

# search_programs PREFIX TARGET: the programs doing the default search.
search_programs() {
    local target=$2
    local common=(search --sequence "$target" --collection "$sites" --options "$opt_default")
    program "$1_base" count "$baseline" "$target" "$sites"
    program "$1_stream" count "$streaming" "$target" "$sites"
    program "$1_xoprex" xoprex "$xoprex" "${common[@]}" --out-dir "$outdir/$1_xoprex/"
    program "$1_xoprex1" xoprex "$xoprex" "${common[@]}" --out-dir "$outdir/$1_xoprex1/" \
        --threads 1
    if [ -n "$before" ]; then
        program "$1_before" xoprex "$before" "${common[@]}" --out-dir "$outdir/$1_before/"
        program "$1_before1" xoprex "$before" "${common[@]}" --out-dir "$outdir/$1_before1/" \
            --threads 1
    fi
    if [ -n "$biopython" ]; then
        program "$1_bio" count "$biopython" "$root/bench/biopython_search.py" "$target" "$sites"
    fi
}

search_rows() {  # PREFIX TARGET
    local bytes
    bytes=$(stat -c %s "$2")
    header "x base"
    row "baseline (plain loop, 1 thread)" "$1_base" "$1_base" "$bytes"
    row "streaming (1 MB reads, kernel, 1 thread)" "$1_stream" "$1_base" "$bytes"
    row "xoprex search (all cores)" "$1_xoprex" "$1_base" "$bytes"
    row "xoprex search --threads 1" "$1_xoprex1" "$1_base" "$bytes"
    if [ -n "$before" ]; then
        row "before: xoprex search (all cores)" "$1_before" "$1_base" "$bytes"
        row "before: xoprex search --threads 1" "$1_before1" "$1_base" "$bytes"
    fi
    if [ -n "$biopython" ]; then
        row "Biopython pssm.search (log-odds)" "$1_bio" "$1_base" "$bytes"
    else
        echo "Biopython: not installed (Debian package python3-biopython), skipped"
    fi
}

title() {  # LABEL TARGET
    echo
    echo "$1: $(printf "%'d" "$(stat -c %s "$2")") bytes, $(grep -c '^>' "$2") record(s)"
}

echo "CRP sites ($(grep -c . "$sites") x $(head -n 1 "$sites" | tr -d '\r\n' | wc -c)), method 5," \
    "threshold 0.8 (normal fit), both strands;" \
    "medians of $runs runs; $(nproc) cores"

search_programs genome "$genome"
program genome_integrative xoprex "$xoprex" search --sequence "$genome" --collection "$sites" \
    --options "$opt_integrative" --out-dir "$outdir/genome_integrative/"
program genome_hits xoprex "$xoprex" search --sequence "$genome" --collection "$sites" \
    --options "$opt_hits" --out-dir "$outdir/genome_hits/"
if [ -n "$before" ]; then
    program genome_before_integrative xoprex "$before" search --sequence "$genome" \
        --collection "$sites" --options "$opt_integrative" \
        --out-dir "$outdir/genome_before_integrative/"
    program genome_before_hits xoprex "$before" search --sequence "$genome" \
        --collection "$sites" --options "$opt_hits" --out-dir "$outdir/genome_before_hits/"
fi
rounds "$runs" "${!command[@]}"
title "E. coli 536" "$genome"
search_rows genome "$genome"
echo
echo "E. coli 536, xoprex search (all cores) against its default run"
header "x dflt"
genome_bytes=$(stat -c %s "$genome")
row "integrative, X=-500 J=500" genome_integrative genome_xoprex "$genome_bytes"
row "literal cut-off 3.5" genome_hits genome_xoprex "$genome_bytes"
if [ -n "$before" ]; then
    row "before: integrative, X=-500 J=500" genome_before_integrative genome_xoprex "$genome_bytes"
    row "before: literal cut-off 3.5" genome_before_hits genome_xoprex "$genome_bytes"
fi

command=()
search_programs records "$records"
rounds "$runs" "${!command[@]}"
title "25,000 records of 2 kb" "$records"
search_rows records "$records"
echo
echo "25,000 records of 2 kb, against the streaming yardstick"
header "x strm"
records_bytes=$(stat -c %s "$records")
row "xoprex search (all cores)" records_xoprex records_stream "$records_bytes"
row "xoprex search --threads 1" records_xoprex1 records_stream "$records_bytes"

# The same records four times over: memory must not grow with the file.
four="$data/ecoli536_25000x2kb_x4.fna"
if [ ! -s "$four" ]; then
    cat "$records" "$records" "$records" "$records" > "$four.part"
    mv "$four.part" "$four"
fi
command=()
program four_stream count "$streaming" "$four" "$sites"
program four_xoprex xoprex "$xoprex" search --sequence "$four" --collection "$sites" \
    --options "$opt_default" --out-dir "$outdir/four_xoprex/"
rounds "$runs" "${!command[@]}"
title "The 25,000 records four times" "$four"
header "x strm"
four_bytes=$(stat -c %s "$four")
row "streaming (1 MB reads, kernel, 1 thread)" four_stream four_stream "$four_bytes"
row "xoprex search (all cores)" four_xoprex four_stream "$four_bytes"

# Twenty collections in one pass against one: CRP sites cut to 15-19 bases
# from 12-17 of the sites (fixed draws), built once under bench/data/.
twenty="$data/collections20"
if [ ! -s "$twenty/list.txt" ]; then
    mkdir -p "$twenty"
    python3 - "$sites" "$twenty" <<'PY'
import random, sys
sites = [l.strip() for l in open(sys.argv[1]) if l.strip()]
folder = sys.argv[2]
draw = random.Random(20)
names = []
for k in range(1, 21):
    length = draw.randint(15, 19)
    start = draw.randint(0, 19 - length)
    chosen = draw.sample(sites, draw.randint(12, 17))
    name = f"{folder}/crp{k:02d}.txt"
    open(name, "w").write("".join(s[start:start + length] + "\n" for s in chosen))
    names.append(name)
open(f"{folder}/list.txt", "w").write("\n".join(names) + "\n")
PY
fi
command=()
program twenty_one xoprex "$xoprex" search --sequence "$genome" --collection "$twenty/crp01.txt" \
    --options "$opt_default" --out-dir "$outdir/twenty_one/"
program twenty_all xoprex "$xoprex" search --sequence "$genome" --collections "$twenty/list.txt" \
    --options "$opt_default" --out-dir "$outdir/twenty_all/"
rounds "$runs" "${!command[@]}"
echo
echo "E. coli 536, 20 collections in one pass against one collection"
header "x one"
row "one collection" twenty_one twenty_one "$genome_bytes"
row "20 collections, one pass" twenty_all twenty_one "$genome_bytes"
