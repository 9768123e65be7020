"""The same search done with Biopython, for timing against xoprex.

    biopython_search.py TARGET.fna SITES.txt [THRESHOLD]

The motif is built from the sites with Bio.motifs (counts plus a pseudocount
of 1 per letter, log-odds against a uniform background), and every record of
the target is searched on both strands with pssm.search. The cut-off follows
the same rule as the search's normalised threshold: a normal distribution is
fitted to the sites' own scores (mean, population deviation) and the cut-off
is its quantile at 1 - THRESHOLD (0.8 by default). Prints the cut-off and the
number of windows found.
"""

import statistics
import sys

from Bio import SeqIO, motifs
from Bio.Seq import Seq


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit("usage: biopython_search.py TARGET.fna SITES.txt [THRESHOLD]")
    target, sites_path = sys.argv[1], sys.argv[2]
    threshold = float(sys.argv[3]) if len(sys.argv) == 4 else 0.8
    if not 0.0 < threshold < 1.0:
        sys.exit("biopython_search.py: THRESHOLD must lie strictly between 0 and 1")
    try:
        with open(sites_path) as handle:
            sites = [line.strip().upper() for line in handle if line.strip()]
    except OSError as error:
        sys.exit(f"biopython_search.py: cannot read {sites_path}: {error}")
    if not sites or len({len(s) for s in sites}) != 1:
        sys.exit(f"biopython_search.py: {sites_path} needs sites of one length")

    motif = motifs.create([Seq(s) for s in sites])
    pssm = motif.counts.normalize(pseudocounts=1).log_odds()
    self_scores = [float(pssm.calculate(Seq(s))) for s in sites]
    fit = statistics.NormalDist(statistics.fmean(self_scores), statistics.pstdev(self_scores))
    cut_off = fit.inv_cdf(1.0 - threshold)

    found = 0
    records = 0
    for record in SeqIO.parse(target, "fasta"):
        records += 1
        sequence = record.seq.upper()
        for _position, _score in pssm.search(sequence, threshold=cut_off, both=True):
            found += 1
    print(f"records {records}, cut-off {cut_off:.6f}")
    print(f"passing {found}")


if __name__ == "__main__":
    main()
