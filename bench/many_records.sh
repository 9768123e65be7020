#!/usr/bin/env bash
# Prints the path of 25,000 records of 2,000 bases cut from the E. coli 536
# genome (bench/fetch_genome.sh), lines of 70, made once in the data folder:
# record i starts at (i * 2654435761) mod (genome length - 2000), fixed and
# spread over the genome.
#   bench/many_records.sh <data folder>
set -euo pipefail
data=$1
genome=$("$(dirname "$0")/fetch_genome.sh" "$data")
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
echo "$records"
