#!/usr/bin/env bash
# Runs workflow/Snakefile on 2 genomes x 2 site lists and a JASPAR file of 2
# count matrices (IDs MX0001.1 and lexA_box, the counts of the two site lists,
# each a collection of its own) in a temporary folder, and checks
# OUTDIR/all_hits.tsv against each run's own TSV, and the reports and their
# index; then (here only) gathers
# records named '#...', with no name and with bytes that are not UTF-8, with
# snakemake killed while it gathers. With "slurm" the run goes
# through workflow/profiles/slurm, with stand-in SLURM commands (fake_slurm/)
# that run each submitted job here. Skipped without snakemake.
#   workflow_test.sh XOPREX SOURCE_DIR local|slurm
set -euo pipefail
xoprex=$1
source=$2
mode=$3
if ! command -v snakemake > /dev/null; then
    echo "snakemake is not installed (scripts/install-deps.sh --workflow): skipped"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cat > config.yaml << END
genomes:
  - $source/examples/pPCP1.gbk
  - $source/tests/data/workflow/pPCP1_fasta.fna.gz
collections:
  - $source/examples/crp_sites.txt
  - $source/tests/data/workflow/lexa_sites.fas
  - $source/tests/data/workflow/crp_lexa.jaspar
outdir: results
xoprex: $xoprex
END
args=(--snakefile "$source/workflow/Snakefile" --configfile config.yaml)

if [ "$mode" = slurm ]; then
    mkdir state
    export PATH="$source/tests/workflow/fake_slurm:$PATH" FAKE_SLURM_STATE="$work/state"
    export USER="${USER:-$(id -un)}"  # the executor asks SLURM about this user
    args+=(--profile "$source/workflow/profiles/slurm")
else
    args+=(--cores 2)
    # Two inputs of one title would write over each other's results.
    if snakemake "${args[@]}" --dry-run \
        --config "genomes=[\"$source/examples/pPCP1.gbk\",\"$source/examples/pPCP1.fas\"]" \
        > clash.log 2>&1 || ! grep -q "have the same title 'pPCP1'" clash.log; then
        echo "FAIL: two genomes titled pPCP1 were not refused"
        cat clash.log
        exit 1
    fi
fi
if ! snakemake "${args[@]}" > snakemake.log 2>&1; then
    cat snakemake.log
    exit 1
fi

if [ "$mode" = slurm ]; then
    # One submission per genome, with the profile's resources and the job's
    # threads; the gathering runs here; each job runs its step through srun.
    submissions=$(grep -c '^sbatch ' state/calls || true)
    with_resources=$(grep -E -c '^sbatch .* -p main -t [0-9]+ --mem [0-9]+ --cpus-per-task=2 ' state/calls || true)
    steps=$(grep -c '^srun ' state/calls || true)
    if [ "$submissions" != 2 ] || [ "$with_resources" != 2 ] || [ "$steps" != 2 ]; then
        echo "FAIL: expected two sbatch calls with resources and two srun steps:"
        cat state/calls
        exit 1
    fi
fi

python3 - results << 'END'
import os
import sys

results = sys.argv[1]
columns = ("motif_id motif_alt_id record start end strand score p_value q_value site distance "
           "type gene_strand gene_start gene_end gene_tag gene product local_mean up_mean "
           "dw_mean").split()
with open(os.path.join(results, "all_hits.tsv"), "rb") as table:
    lines = table.read().decode("utf-8", "surrogateescape").splitlines()
failures = []
if lines[0].split("\t") != ["genome"] + columns:
    failures.append(f"header: {lines[0]}")
rows = [line.split("\t") for line in lines[1:]]
total = 0
for genome in ("pPCP1", "pPCP1_fasta"):
    path = os.path.join(results, genome, genome + ".tsv")
    with open(path, "rb") as tsv:
        own = [line for line in tsv.read().decode("utf-8", "surrogateescape").splitlines()
               if not line.startswith("#")]
    gathered = ["\t".join(row[1:]) for row in rows if row[0] == genome]
    motifs = sorted({row.split("\t")[0] for row in own[1:]})
    print(f"{genome}\t{len(gathered)} rows of motifs {motifs} (its table: {len(own) - 1})")
    if own[0] != "\t".join(columns) or not own[1:]:
        failures.append(f"{path}: other columns or no hits")
    if motifs != sorted(["crp_sites", "lexa_sites", "MX0001.1", "lexA_box"]):
        failures.append(f"{path}: the hits of {motifs}")
    if gathered != own[1:]:
        failures.append(f"{genome}: gathered rows differ from {path}")
    total += len(gathered)
if total != len(rows):
    failures.append(f"{len(rows) - total} rows of other genomes")
# One report per genome, and an index linking them with each genome's hits
# by motif.
with open(os.path.join(results, "index.html"), encoding="utf-8") as page:
    index = page.read()
for genome in ("pPCP1", "pPCP1_fasta"):
    report = os.path.join(results, genome, genome + "_report.html")
    if not os.path.exists(report) or "<svg" not in open(report, encoding="utf-8").read():
        failures.append(f"{report}: missing or without pictures")
    if f'<a href="{genome}/{genome}_report.html">' not in index:
        failures.append(f"index.html: no link to {genome}'s report")
    count = sum(1 for row in rows if row[0] == genome and row[1] == "crp_sites")
    if f'<td class="n">{count}</td>' not in index:
        failures.append(f"index.html: not the {count} crp_sites hits of {genome}")
for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
END

[ "$mode" = local ] || exit 0

# Record names the table must carry byte for byte, among hits so many that
# the gathering takes a while: snakemake killed while it writes leaves no
# all_hits.tsv (or the whole one), and a second run completes it.
python3 - << 'END'
import random
random.seed(7)
bases = lambda n: "".join(random.choice("ACGT") for _ in range(n)).encode()
with open("names.fa", "wb") as out:
    for name in (b"#hash", b"", b"\xff\xfename"):
        out.write(b">" + name + b"\n" + bases(2000) + b"\n")
with open("big.fa", "wb") as out:
    out.write(b">big\n" + bases(400000) + b"\n")
END
cat > kill.yaml << END
genomes: [names.fa, big.fa]
collections: [$source/examples/crp_sites.txt]
outdir: many
xoprex: $xoprex
xoprex_args: --literal --threshold -1000
END
kill_args=(--snakefile "$source/workflow/Snakefile" --configfile kill.yaml --cores 2)
setsid snakemake "${kill_args[@]}" > kill.log 2>&1 &
leader=$!
for _ in $(seq 1 600); do
    [ -e many/.all_hits.tsv.part ] && break
    sleep 0.05
done
gathering=$([ -e many/.all_hits.tsv.part ] && echo yes || echo no)
kill -KILL -- -"$leader" 2> /dev/null || true
wait "$leader" 2> /dev/null || true
if [ "$gathering" != yes ]; then
    echo "FAIL: the gathering never started"
    cat kill.log
    exit 1
fi
if [ -e many/all_hits.tsv ]; then
    echo "FAIL: a killed gathering left many/all_hits.tsv"
    exit 1
fi
snakemake "${kill_args[@]}" --unlock > /dev/null 2>&1  # the lock the kill left
if ! snakemake "${kill_args[@]}" --rerun-incomplete > rerun.log 2>&1; then
    cat rerun.log
    exit 1
fi
python3 - << 'END'
import sys
with open("many/all_hits.tsv", "rb") as table:
    rows = table.read().split(b"\n")[1:-1]
names = {row.split(b"\t")[3] for row in rows if row.startswith(b"names\t")}
expected = {b"#hash", b"record_2", b"\xff\xfename"}
big = sum(1 for row in rows if row.startswith(b"big\t"))
print(f"names: {sorted(names)}; big: {big} rows")
if names != expected or big < 400000:
    print("FAIL: gathered names", sorted(names), "rows of big", big)
    sys.exit(1)
END
