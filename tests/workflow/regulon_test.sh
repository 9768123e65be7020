#!/usr/bin/env bash
# Runs workflow/Snakefile with regulon: true on three synthetic genomes (two
# GenBank, one FASTA with a GFF3 annotation; tests/tools/plant_regulon.py)
# that share a family of genes (the genes of their first six operons), and
# checks that each of those genes' ortholog groups lands in every genome's
# column of OUTDIR/regulon_matrix.tsv with the genome's own locus tag and
# posterior, that OUTDIR/conserved_regulon.tsv ranks the groups by their
# summed posteriors, and that the heat map is well-formed SVG. With "slurm"
# the run goes through workflow/profiles/slurm with the stand-in SLURM
# commands. Skipped without snakemake or mmseqs.
#   regulon_test.sh XOPREX SOURCE_DIR local|slurm
set -euo pipefail
xoprex=$1
source=$2
mode=$3
for program in snakemake mmseqs; do
    if ! command -v $program > /dev/null; then
        echo "$program is not installed (scripts/install-deps.sh --regulon): skipped"
        exit 77
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

for genome in 1 2 3; do
    extra=()
    [ $genome = 2 ] && extra=(--gff3)
    /usr/bin/python3 "$source/tests/tools/plant_regulon.py" --sites "$source/examples/crp_sites.txt" \
        --out g$genome --name G$genome --seed $genome --operons 30 --planted 5 --family 6 \
        --family-seed 11 "${extra[@]}"
done
cat > config.yaml << END
genomes: [g1.gbk, g2.fna, g3.gbk]
annotations: {g2: g2.gff3}
collections: [$source/examples/crp_sites.txt]
outdir: results
xoprex: $xoprex
xoprex_args: "--pvalue 1e-5"
regulon: true
top_groups: 10
END
args=(--snakefile "$source/workflow/Snakefile" --configfile config.yaml)
if [ "$mode" = slurm ]; then
    mkdir state
    export PATH="$source/tests/workflow/fake_slurm:$PATH" FAKE_SLURM_STATE="$work/state"
    export USER="${USER:-$(id -un)}"
    args+=(--profile "$source/workflow/profiles/slurm")
else
    args+=(--cores 2)
fi
if ! snakemake "${args[@]}" > snakemake.log 2>&1; then
    cat snakemake.log
    exit 1
fi
if [ "$mode" = slurm ]; then
    # Three searches and the ortholog groups on the cluster; the proteins
    # and the tables here.
    submissions=$(grep -c '^sbatch ' state/calls || true)
    if [ "$submissions" != 4 ]; then
        echo "FAIL: expected four sbatch calls:"
        cat state/calls
        exit 1
    fi
fi

python3 - results << 'END'
import csv
import os
import sys
import xml.etree.ElementTree as ElementTree

results = sys.argv[1]
failures = []
with open(os.path.join(results, "regulon_matrix.tsv")) as table:
    matrix = list(csv.DictReader(table, delimiter="\t"))
family = {}
for row in matrix:
    tags = [row[f"g{g}_locus_tag"] for g in (1, 2, 3)]
    shared = {tag.split("_", 1)[1] for tag in tags if tag}
    if all(tags) and len(shared) == 1 and int(tags[0].split("_")[1]) <= 6:
        family[shared.pop()] = row
# Every family gene (operons 1 to 6) is a group present in all three.
expected = set()
with open("g1.gbk") as genbank:
    for line in genbank:
        if '/locus_tag="G1_000' in line:
            tag = line.split('"')[1]
            if int(tag.split("_")[1]) <= 6:
                expected.add(tag.split("_", 1)[1])
if not expected or set(family) != expected:
    failures.append(f"family groups in every genome: {sorted(family)}, expected {sorted(expected)}")
for suffix, row in family.items():
    for g in (1, 2, 3):
        if row[f"g{g}_locus_tag"] != f"G{g}_{suffix}" or not row[f"g{g}"]:
            failures.append(f"{suffix}: genome g{g}: {row}")
with open(os.path.join(results, "conserved_regulon.tsv")) as table:
    ranked = list(csv.DictReader(table, delimiter="\t"))
sums = [float(row["posterior_sum"]) for row in ranked]
if len(ranked) != len(matrix) or sums != sorted(sums, reverse=True):
    failures.append("conserved_regulon.tsv: not every group, or not ranked")
for row in ranked:
    if row["group"].split("|")[1].split("_", 1)[1] in family and row["genomes_with_gene"] != "3":
        failures.append(f"conserved: {row}")
svg = ElementTree.parse(os.path.join(results, "conserved_regulon.svg")).getroot()
cells = [element for element in svg.iter("{http://www.w3.org/2000/svg}rect")
         if element.find("{http://www.w3.org/2000/svg}title") is not None]
if len(cells) != 10 * 3:
    failures.append(f"heat map: {len(cells)} cells")
for g in (1, 2, 3):
    report = os.path.join(results, f"g{g}", f"g{g}_report.html")
    if "<h2>Ranked operons</h2>" not in open(report, encoding="utf-8").read():
        failures.append(f"{report}: no ranked operons")
print(f"{len(matrix)} groups, {len(family)} in every genome")
for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
END
