#!/usr/bin/env python3
"""Planted operons against posterior bins, for docs/regulon.md: for each site
collection a synthetic genome of 200 operons with 20 planted at five
strengths (tests/tools/plant_regulon.py, seed 1), searched with
`xoprex regulon --pvalue 1e-5`; planted operons, operons whose promoter
region holds a planted site of a neighbour (a divergent pair shares its
intergenic stretch), and the others, by posterior bin, with the
sensitivity and the false positives at 0.5.

    bench/regulon_planted.py XOPREX [WORKDIR]
"""
import csv
import os
import subprocess
import sys
import tempfile

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
COLLECTIONS = [
    ("crp_sites", os.path.join(SOURCE, "examples/crp_sites.txt"), "--collection"),
    ("lexa_sites", os.path.join(SOURCE, "tests/data/workflow/lexa_sites.fas"), "--collection"),
    ("MX0001.1", os.path.join(SOURCE, "tests/data/motifs/MX0001.1.pfm"), "--motifs"),
]
BINS = [(0.0, 0.1), (0.1, 0.5), (0.5, 0.9), (0.9, 1.0000001)]


def rows(path):
    with open(path) as table:
        return list(csv.DictReader((line for line in table if not line.startswith("#")),
                                   delimiter="\t"))


def main():
    xoprex = sys.argv[1]
    work = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp()
    os.makedirs(work, exist_ok=True)
    for title, path, flag in COLLECTIONS:
        prefix = os.path.join(work, title)
        subprocess.run([sys.executable, os.path.join(SOURCE, "tests/tools/plant_regulon.py"),
                        "--sites", path, "--out", prefix, "--seed", "1"], check=True)
        subprocess.run([xoprex, "regulon", "--sequence", prefix + ".gbk", flag, path,
                        "--pvalue", "1e-5", "--no-log", "--quiet", "--format", "tsv",
                        "--out-dir", work], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        truth = {row["locus_tag"]: row for row in rows(prefix + "_truth.tsv")}
        sites = [(int(row["site_start"]), int(row["site_end"])) for row in truth.values()
                 if row["planted"] == "1"]
        table = rows(os.path.join(work, f"{title}_{title}_regulon.tsv"))
        counts = {kind: [0] * len(BINS) for kind in ("planted", "shares", "other")}
        by_strength = {}
        for row in table:
            first = truth[row["locus_tags"].split("|")[0]]
            posterior = float(row["posterior"])
            if first["planted"] == "1":
                kind = "planted"
                by_strength.setdefault(int(first["changed"]), []).append(posterior)
            elif row["best_start"] and any(start <= int(row["best_end"]) and
                                           end >= int(row["best_start"]) for start, end in sites):
                kind = "shares"
            else:
                kind = "other"
            for b, (low, high) in enumerate(BINS):
                if low <= posterior < high:
                    counts[kind][b] += 1
        print(f"\n{title} ({flag} {os.path.relpath(path, SOURCE)})\n")
        print("| operons | " + " | ".join(f"[{low:g}, {min(high, 1):g}{')' if high < 1 else ']'}"
                                          for low, high in BINS) + " | total |")
        print("|---|" + "---|" * (len(BINS) + 1))
        labels = {"planted": "planted", "shares": "a neighbour's planted site in its region",
                  "other": "not planted"}
        for kind in ("planted", "shares", "other"):
            print(f"| {labels[kind]} | " + " | ".join(map(str, counts[kind])) +
                  f" | {sum(counts[kind])} |")
        planted = sum(counts["planted"])
        found = sum(counts["planted"][2:])
        print(f"\nsensitivity at 0.5: {found}/{planted}; false positives at 0.5: "
              f"{sum(counts['other'][2:])} not planted, {sum(counts['shares'][2:])} sharing a "
              "neighbour's site")
        print("planted by positions changed: " + "; ".join(
            f"{k}: " + ", ".join(f"{p:.2f}" for p in sorted(v, reverse=True))
            for k, v in sorted(by_strength.items())))


if __name__ == "__main__":
    main()
