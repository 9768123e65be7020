#!/usr/bin/env python3
"""Writes a synthetic genome with binding sites planted upstream of chosen
operons and nowhere else, to check and measure `xoprex regulon`.

    plant_regulon.py --sites SITES --out PREFIX [--operons 200] [--planted 20]
                     [--seed 1] [--gff3] [--name PLANT] [--family N --family-seed S]

SITES is a site list (one site a line, or FASTA) or a JASPAR count matrix
(four rows of counts, an optional '>' header); sites are drawn from its
position frequencies. The genome is random sequence (A, C, G, T alike) in
which OPERONS operons of 1 to 4 genes (open reading frames of random sense
codons from ATG to TAA, 300 to 1500 bases, 10 bases of overlap to 40 apart)
lie on random strands, 150 to 500 bases apart. The genes of the first N
operons are a family that genomes made with the same --family-seed share
(their lengths and codons drawn from that seed, one codon in fifty then
changed by --seed), so that a comparison of genomes finds them. The
first PLANTED operons in a shuffled order each get one site 20 to 100 bases
upstream of their first gene's start, on a random strand, drawn from the
frequencies with 0, 1, 2, 3 or 4 positions then changed to another base in
turn (their strength). Same seed, same files.

Writes PREFIX.gbk (GenBank, CDS features with locus_tag, gene and product),
or with --gff3 PREFIX.fna and PREFIX.gff3 (gene and CDS features, as NCBI
delivers genomes), and PREFIX_truth.tsv: for every operon the locus tag of
its first gene (in the direction of transcription), its strand, whether a
site was planted, how many positions were changed and where the site lies
(1-based, inclusive; empty when none).
"""

import argparse
import random

BASES = "ACGT"
COMPLEMENT = str.maketrans("ACGT", "TGCA")


def reverse_complement(text):
    return text.translate(COMPLEMENT)[::-1]


def read_frequencies(path):
    with open(path) as handle:
        lines = [line.strip() for line in handle if line.strip()]
    rows = [line for line in lines if not line.startswith(">")]
    numbers = [row.replace("[", " ").replace("]", " ").split() for row in rows]
    if len(numbers) == 4 and all(len(row) > 4 for row in numbers):
        counts = [[float(value) for value in row if value not in "ACGT"] for row in numbers]
        columns = list(zip(*counts))
    else:
        sites = [row.upper() for row in rows]
        columns = [[sum(site[i] == base for site in sites) for base in BASES]
                   for i in range(len(sites[0]))]
    return [[count / sum(column) for count in column] for column in columns]


def draw_site(frequencies, changes, rng):
    site = [rng.choices(BASES, weights=column)[0] for column in frequencies]
    for position in rng.sample(range(len(site)), changes):
        site[position] = rng.choice([base for base in BASES if base != site[position]])
    return "".join(site)


SENSE_CODONS = [a + b + c for a in BASES for b in BASES for c in BASES
                if a + b + c not in ("TAA", "TAG", "TGA")]


def open_reading_frame(length, rng):
    codons = ["ATG"] + [rng.choice(SENSE_CODONS) for _ in range(length // 3 - 2)] + ["TAA"]
    return "".join(codons)


def layout(operons, rng, family, family_rng):
    """Operons as (forward, [(left, right, text), ...] in transcription
    order), 1-based inclusive, each gene's text as read on its strand, and
    the genome's length."""
    at = 200
    placed = []
    for number in range(operons):
        draw = family_rng if number < family else rng
        forward = draw.random() < 0.5
        genes = []
        for g in range(draw.randint(1, 4)):
            if g > 0:
                at += rng.randint(-10, 40)
            text = open_reading_frame(3 * draw.randint(100, 500), draw)
            if number < family:
                codons = [text[i:i + 3] for i in range(0, len(text), 3)]
                for i in range(1, len(codons) - 1):
                    if rng.random() < 0.02:
                        codons[i] = rng.choice(SENSE_CODONS)
                text = "".join(codons)
            genes.append((at, at + len(text) - 1, text))
            at += len(text)
        placed.append((forward, genes if forward else genes[::-1]))
        at += rng.randint(150, 500)
    return placed, at + 200


def write_genbank(path, name, sequence, genes):
    with open(path, "w") as out:
        out.write(f"LOCUS       {name:<16}{len(sequence):>11} bp    DNA     circular BCT "
                  "01-JAN-2000\n")
        out.write(f"DEFINITION  Synthetic genome {name} with planted sites.\n")
        out.write(f"ACCESSION   {name}\nVERSION     {name}.1\n")
        out.write("FEATURES             Location/Qualifiers\n")
        out.write(f"     source          1..{len(sequence)}\n")
        for tag, gene, product, forward, left, right in genes:
            location = f"{left}..{right}" if forward else f"complement({left}..{right})"
            out.write(f"     CDS             {location}\n")
            out.write(f'                     /locus_tag="{tag}"\n')
            out.write(f'                     /gene="{gene}"\n')
            out.write(f'                     /product="{product}"\n')
        out.write("ORIGIN\n")
        for start in range(0, len(sequence), 60):
            chunk = sequence[start:start + 60].lower()
            groups = " ".join(chunk[i:i + 10] for i in range(0, len(chunk), 10))
            out.write(f"{start + 1:>9} {groups}\n")
        out.write("//\n")


def escaped(text):
    return "".join(f"%{ord(c):02X}" if c in ";=&,%\t" else c for c in text)


def write_fasta_gff3(prefix, name, sequence, genes):
    with open(prefix + ".fna", "w") as out:
        out.write(f">{name}.1 Synthetic genome {name} with planted sites\n")
        for start in range(0, len(sequence), 70):
            out.write(sequence[start:start + 70] + "\n")
    with open(prefix + ".gff3", "w") as out:
        out.write(f"##gff-version 3\n##sequence-region {name}.1 1 {len(sequence)}\n")
        for tag, gene, product, forward, left, right in genes:
            strand = "+" if forward else "-"
            out.write(f"{name}.1\tplant\tgene\t{left}\t{right}\t.\t{strand}\t.\t"
                      f"ID=gene-{tag};Name={escaped(gene)};locus_tag={tag}\n")
            out.write(f"{name}.1\tplant\tCDS\t{left}\t{right}\t.\t{strand}\t0\t"
                      f"ID=cds-{tag};Parent=gene-{tag};product={escaped(product)}\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--sites", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--operons", type=int, default=200)
    parser.add_argument("--planted", type=int, default=20)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--gff3", action="store_true")
    parser.add_argument("--name", default="PLANT")
    parser.add_argument("--family", type=int, default=0)
    parser.add_argument("--family-seed", type=int, default=0)
    args = parser.parse_args()

    rng = random.Random(args.seed)
    frequencies = read_frequencies(args.sites)
    operons, length = layout(args.operons, rng, args.family, random.Random(args.family_seed))
    sequence = [rng.choice(BASES) for _ in range(length)]
    # Genes overlapping by a few bases: the later one's text wins there.
    for forward, spans in operons:
        for left, right, text in spans:
            sequence[left - 1:right] = text if forward else reverse_complement(text)
    chosen = rng.sample(range(len(operons)), args.planted)
    planted = {operon: k % 5 for k, operon in enumerate(chosen)}
    genes = []
    truth = []
    for number, (forward, spans) in enumerate(operons):
        first_tag = None
        for g, (left, right, _) in enumerate(spans):
            tag = f"{args.name}_{number + 1:04d}_{g + 1}"
            first_tag = first_tag or tag
            genes.append((tag, f"op{number + 1}{'abcd'[g]}",
                          f"operon {number + 1} gene {g + 1}, synthetic", forward, left, right))
        changes = planted.get(number)
        place = ("", "")
        if changes is not None:
            site = draw_site(frequencies, changes, rng)
            if rng.random() < 0.5:
                site = reverse_complement(site)
            distance = rng.randint(20, 100)
            left, right, _ = spans[0]
            # 0-based start of the site, `distance` bases before the start.
            start = left - 1 - distance - len(site) if forward else right + distance
            sequence[start:start + len(site)] = site
            place = (start + 1, start + len(site))
        truth.append((first_tag, "+" if forward else "-", changes, place))
    sequence = "".join(sequence)
    genes.sort(key=lambda gene: gene[4])
    if args.gff3:
        write_fasta_gff3(args.out, args.name, sequence, genes)
    else:
        write_genbank(args.out + ".gbk", args.name, sequence, genes)
    with open(args.out + "_truth.tsv", "w") as out:
        out.write("locus_tag\tstrand\tplanted\tchanged\tsite_start\tsite_end\n")
        for tag, strand, changes, (start, end) in truth:
            out.write(f"{tag}\t{strand}\t{0 if changes is None else 1}\t"
                      f"{'' if changes is None else changes}\t{start}\t{end}\n")


if __name__ == "__main__":
    main()
