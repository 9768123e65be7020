"""The regulon comparison of the workflow (configuration key `regulon: true`):
the proteins of each genome, their ortholog groups, and the tables and the
heat map that put each group's posteriors side by side. Plain Python; the
Snakefile calls these functions.

Proteins: each CDS's /translation in a GenBank file, or its translation
(the bacterial code, table 11: a first codon of TTG, CTG, ATT, ATC, ATA or
GTG read as M) from the genome (FASTA, or GenBank) and its GFF3 annotation
when the genome has one; each named
GENOME|LOCUS_TAG, with the locus tag xoprex gives the gene (the CDS's
locus_tag, else its Parent gene's). CDSs without a locus tag are left out.
"""

import gzip
import html
import os
import urllib.parse

CODONS = {}
for i, first in enumerate("TCAG"):
    for j, second in enumerate("TCAG"):
        for k, third in enumerate("TCAG"):
            CODONS[first + second + third] = (
                "FFLLSSSSYY**CC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"[16 * i + 4 * j + k]
            )
STARTS = {"TTG", "CTG", "ATT", "ATC", "ATA", "ATG", "GTG"}
COMPLEMENT = str.maketrans("ACGTacgt", "TGCAtgca")


def open_text(path):
    with open(path, "rb") as handle:
        gzipped = handle.read(2) == b"\x1f\x8b"
    return gzip.open(path, "rt") if gzipped else open(path)


def translate(dna):
    dna = dna.upper()
    protein = "".join(CODONS.get(dna[i:i + 3], "X") for i in range(0, len(dna) - 2, 3))
    if dna[:3] in STARTS:
        protein = "M" + protein[1:]
    return protein.rstrip("*")


def parse_location(text):
    """(parts [(start, end)] 1-based in the order they are read, forward)."""
    forward = "complement" not in text
    cleaned = "".join(c if c.isdigit() or c in ".," else " " for c in text)
    parts = []
    for piece in cleaned.replace(" ", "").split(","):
        ends = [int(end) for end in piece.split("..") if end]
        if ends:
            parts.append((min(ends), max(ends)))
    return parts, forward


def spliced(sequence, parts, forward):
    dna = "".join(sequence[start - 1:end] for start, end in sorted(parts))
    return dna if forward else dna.translate(COMPLEMENT)[::-1]


def genbank_proteins(path):
    """(locus_tag, protein) of every CDS of every record."""
    proteins = []
    with open_text(path) as handle:
        lines = handle.read().splitlines()
    record = []
    for line in lines:
        record.append(line)
        if line.startswith("//"):
            proteins += record_proteins(record)
            record = []
    if any(line.strip() for line in record):
        proteins += record_proteins(record)
    return proteins


def record_proteins(lines):
    features = []
    sequence = []
    in_origin = False
    current = None
    key = None
    for line in lines:
        if line.startswith("ORIGIN"):
            in_origin = True
            continue
        if in_origin:
            sequence.append("".join(c for c in line if c.isalpha()))
            continue
        if len(line) > 5 and line.startswith("     ") and line[5] != " ":
            key = line[5:21].strip()
            current = {"key": key, "location": line[21:].strip(), "qualifiers": {}}
            features.append(current)
            last = "location"
        elif current is not None and line.startswith(" " * 21):
            body = line[21:].strip()
            if body.startswith("/"):
                name, _, value = body[1:].partition("=")
                current["qualifiers"][name] = value
                last = name
            elif last == "location":
                current["location"] += body
            else:
                current["qualifiers"][last] += ("" if last == "translation" else " ") + body
        elif line and not line.startswith(" "):
            current = None
    dna = "".join(sequence)
    proteins = []
    for feature in features:
        if feature["key"] != "CDS":
            continue
        tag = feature["qualifiers"].get("locus_tag", "").strip('"')
        if not tag:
            continue
        translation = feature["qualifiers"].get("translation", "").strip('"').replace(" ", "")
        if not translation and dna:
            translation = translate(spliced(dna, *parse_location(feature["location"])))
        if translation:
            proteins.append((tag, translation))
    return proteins


def sequence_records(path):
    """{name: sequence} of a FASTA file (the header up to its first blank) or
    of a GenBank file (the VERSION accession, or the LOCUS name), as xoprex
    names records."""
    records = {}
    name = None
    with open_text(path) as handle:
        lines = handle.read().splitlines()
    if lines and lines[0].startswith("LOCUS"):
        in_origin = False
        for line in lines:
            if line.startswith("LOCUS"):
                name = line.split()[1] if len(line.split()) > 1 else ""
                records[name] = []
                in_origin = False
            elif line.startswith("VERSION") and len(line.split()) > 1 and not in_origin:
                records[line.split()[1]] = records.pop(name)
                name = line.split()[1]
            elif line.startswith("ORIGIN"):
                in_origin = True
            elif line.startswith("//"):
                in_origin = False
            elif in_origin:
                records[name].append("".join(c for c in line if c.isalpha()))
    else:
        for line in lines:
            if line.startswith(">"):
                name = line[1:].split()[0] if line[1:].split() else ""
                records[name] = []
            elif name is not None:
                records[name].append(line.strip())
    return {name: "".join(parts).upper() for name, parts in records.items()}


def gff3_proteins(genome_path, gff3_path):
    sequences = sequence_records(genome_path)
    cds = {}
    order = []
    gene_tags = {}
    with open_text(gff3_path) as handle:
        for line in handle:
            if line.startswith("##FASTA"):
                break
            if line.startswith("#") or not line.strip():
                continue
            columns = line.rstrip("\n").split("\t")
            if len(columns) != 9:
                continue
            attributes = {}
            for part in columns[8].split(";"):
                key, _, value = part.strip().partition("=")
                attributes[urllib.parse.unquote(key)] = urllib.parse.unquote(value)
            seqid = urllib.parse.unquote(columns[0])
            if columns[2] == "gene" and "ID" in attributes:
                gene_tags[attributes["ID"]] = attributes.get("locus_tag", "")
            elif columns[2] == "CDS":
                key = (seqid, attributes.get("ID") or f"line{len(order)}")
                if key not in cds:
                    cds[key] = {"parts": [], "forward": columns[6] == "+", "attributes": attributes}
                    order.append(key)
                cds[key]["parts"].append((int(columns[3]), int(columns[4])))
    proteins = []
    for seqid, identifier in order:
        feature = cds[(seqid, identifier)]
        attributes = feature["attributes"]
        parent = attributes.get("Parent", "").split(",")[0]
        tag = attributes.get("locus_tag") or gene_tags.get(parent, "")
        sequence = sequences.get(seqid)
        if tag and sequence:
            proteins.append((tag, translate(spliced(sequence, feature["parts"], feature["forward"]))))
    return proteins


def write_proteins(genome, genome_path, annotation_path, output_path):
    if annotation_path:
        proteins = gff3_proteins(genome_path, annotation_path)
    else:
        proteins = genbank_proteins(genome_path)
    partial = output_path + ".part"
    with open(partial, "w") as out:
        for tag, protein in proteins:
            out.write(f">{genome}|{tag}\n{protein}\n")
    os.replace(partial, output_path)


# ---- the tables


def read_regulon_tables(folder):
    """{(motif_id, locus_tag): (posterior, product)} of every regulon table
    in the folder (the best posterior when a tag stands in several
    operons)."""
    found = {}
    for name in sorted(os.listdir(folder)):
        if not name.endswith("_regulon.tsv"):
            continue
        with open(os.path.join(folder, name), encoding="utf-8", errors="surrogateescape") as table:
            rows = [line.rstrip("\n").split("\t") for line in table if not line.startswith("#")]
        header = rows[0]
        at = {column: header.index(column) for column in header}
        for row in rows[1:]:
            posterior = float(row[at["posterior"]]) if row[at["posterior"]] else float("nan")
            tags = row[at["locus_tags"]].split("|")
            products = row[at["products"]].split("|")
            for tag, product in zip(tags, products):
                key = (row[at["motif_id"]], tag)
                if tag and (key not in found or posterior > found[key][0]):
                    found[key] = (posterior, product)
    return found


def read_clusters(path):
    """{representative: [members]} of MMseqs2's cluster table."""
    groups = {}
    with open(path) as table:
        for line in table:
            representative, member = line.rstrip("\n").split("\t")[:2]
            groups.setdefault(representative, []).append(member)
    return groups


def number(value):
    return "" if value != value else f"{value:.6g}"


def regulon_tables(genomes, folders, clusters_path, outdir, top):
    """Writes OUTDIR/regulon_matrix.tsv, conserved_regulon.tsv and
    conserved_regulon.svg."""
    posteriors = {genome: read_regulon_tables(folders[genome]) for genome in genomes}
    motifs = sorted({motif for found in posteriors.values() for motif, _ in found})
    groups = read_clusters(clusters_path)
    matrix = []
    for motif in motifs:
        for representative in sorted(groups):
            cells = {}
            product = ""
            for member in groups[representative]:
                genome, _, tag = member.partition("|")
                value, gene_product = posteriors.get(genome, {}).get((motif, tag),
                                                                     (float("nan"), ""))
                product = product or gene_product
                best = cells.get(genome)
                if best is None or (value == value and not (best[0] >= value)):
                    cells[genome] = (value, tag)
            matrix.append((motif, representative, len(groups[representative]), product, cells))
    write_whole(os.path.join(outdir, "regulon_matrix.tsv"), matrix_text(genomes, matrix))
    ranked = []
    for motif, group, size, product, cells in matrix:
        values = [cells[genome][0] for genome in genomes
                  if genome in cells and cells[genome][0] == cells[genome][0]]
        ranked.append((motif, group, sum(values), sum(value > 0.5 for value in values),
                       sum(genome in cells for genome in genomes), product, cells))
    ranked.sort(key=lambda row: (row[0], -row[2], row[1]))
    lines = ["motif_id\tgroup\tposterior_sum\tgenomes_above_0.5\tgenomes_with_gene\tproduct\t"
             "locus_tags\n"]
    for motif, group, total, above, present, product, cells in ranked:
        tags = ",".join(f"{genome}:{cells[genome][1]}" for genome in genomes if genome in cells)
        lines.append(f"{motif}\t{group}\t{total:.6g}\t{above}\t{present}\t{product}\t{tags}\n")
    write_whole(os.path.join(outdir, "conserved_regulon.tsv"), "".join(lines))
    write_whole(os.path.join(outdir, "conserved_regulon.svg"), heat_map(genomes, ranked, top))


def matrix_text(genomes, matrix):
    header = ["motif_id", "group", "genes", "product"]
    for genome in genomes:
        header += [genome, genome + "_locus_tag"]
    lines = ["\t".join(header) + "\n"]
    for motif, group, size, product, cells in matrix:
        fields = [motif, group, str(size), product]
        for genome in genomes:
            value, tag = cells.get(genome, (float("nan"), ""))
            fields += [number(value), tag]
        lines.append("\t".join(fields) + "\n")
    return "".join(lines)


def write_whole(path, text):
    partial = os.path.join(os.path.dirname(path) or ".", "." + os.path.basename(path) + ".part")
    with open(partial, "w", encoding="utf-8", errors="surrogateescape") as out:
        out.write(text)
    os.replace(partial, path)


def colour(value):
    """White at 0 to deep blue at 1; grey where the genome has no gene of
    the group or no posterior."""
    if value != value:
        return "#d9d9d9"
    red = round(255 - 247 * value)
    green = round(255 - 207 * value)
    blue = round(255 - 148 * value)
    return f"#{red:02x}{green:02x}{blue:02x}"


def heat_map(genomes, ranked, top):
    """The top groups of each motif by their summed posteriors, one row a
    group, one column a genome."""
    cell, label_width, head = 22, 360, 120
    panels = []
    for motif in sorted({row[0] for row in ranked}):
        panels.append((motif, [row for row in ranked if row[0] == motif][:top]))
    height = sum(head + cell * len(rows) + 30 for _, rows in panels) + 60
    width = label_width + cell * len(genomes) + 140
    parts = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
             f'font-family="sans-serif" font-size="11">\n',
             f'<rect width="{width}" height="{height}" fill="white"/>\n']
    y = 20
    for motif, rows in panels:
        parts.append(f'<text x="10" y="{y + 12}" font-size="14" font-weight="bold">'
                     f'{html.escape(motif)}: top {len(rows)} ortholog groups by summed '
                     f'posterior</text>\n')
        for g, genome in enumerate(genomes):
            x = label_width + cell * g + cell // 2
            parts.append(f'<text x="{x}" y="{y + head - 6}" transform="rotate(-60 {x} '
                         f'{y + head - 6})">{html.escape(genome)}</text>\n')
        for r, (_, group, total, above, _, product, cells) in enumerate(rows):
            top_y = y + head + cell * r
            label = f"{group}  {product}"[:60]
            parts.append(f'<text x="{label_width - 6}" y="{top_y + 15}" text-anchor="end">'
                         f'{html.escape(label)}</text>\n')
            for g, genome in enumerate(genomes):
                value, tag = cells.get(genome, (float("nan"), ""))
                parts.append(f'<rect x="{label_width + cell * g}" y="{top_y}" width="{cell - 1}" '
                             f'height="{cell - 1}" fill="{colour(value)}"><title>'
                             f'{html.escape(genome)} {html.escape(tag)}: {number(value)}'
                             f'</title></rect>\n')
            parts.append(f'<text x="{label_width + cell * len(genomes) + 6}" y="{top_y + 15}">'
                         f'{total:.2f} ({above} &gt; 0.5)</text>\n')
        y += head + cell * len(rows) + 30
    for k in range(11):
        parts.append(f'<rect x="{10 + 20 * k}" y="{y}" width="20" height="12" '
                     f'fill="{colour(k / 10)}"/>\n')
    parts.append(f'<text x="{240}" y="{y + 10}">posterior 0 to 1; grey: no gene</text>\n')
    parts.append("</svg>\n")
    return "".join(parts)
