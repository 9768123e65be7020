#!/usr/bin/env bash
# Prints the path of the E. coli 536 genome (4.94 Mb FASTA), fetching it once
# from the Debian package bowtie-examples into the given data folder.
#   bench/fetch_genome.sh <data folder>
set -euo pipefail
data=$1
mkdir -p "$data"
genome="$data/ecoli536.fna"
if [ ! -s "$genome" ]; then
    (cd "$data" && apt-get download bowtie-examples > /dev/null 2>&1)
    dpkg-deb -x "$data"/bowtie-examples_*.deb "$data/pkg"
    gunzip -c "$data/pkg/usr/share/doc/bowtie/examples/genomes/NC_008253.fna.gz" > "$genome"
    rm -rf "$data/pkg" "$data"/bowtie-examples_*.deb
fi
echo "$genome"
