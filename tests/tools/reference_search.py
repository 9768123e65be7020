#!/usr/bin/env python3
"""Straightforward second implementation of a plain search (no integrative
mode), written directly from the formulas to cross-check the C++ results
table. Slow on purpose: every window is scored by the per-window formulas.

usage: reference_search.py TARGET.fas SITES.txt METHOD THRESHOLD LITERAL SORT REDUNDANT
prints the results table to stdout (FASTA targets only)."""
import math
import statistics
import sys

LAMBDA = 0.3010300099849701
EPS = 1e-100
BASES = "ACGT"
W3 = 0.33000001311302185
COUNT_WEIGHTS = {
    "A": {"A": 1.0}, "C": {"C": 1.0}, "G": {"G": 1.0}, "T": {"T": 1.0},
    "R": {"A": .5, "G": .5}, "Y": {"C": .5, "T": .5}, "K": {"G": .5, "T": .5},
    "M": {"A": .5, "C": .5}, "S": {"C": .5, "G": .5}, "W": {"A": .5, "T": .5},
    "B": {"C": W3, "G": W3, "T": W3}, "D": {"A": W3, "G": W3, "T": W3},
    "H": {"A": W3, "C": W3, "T": W3}, "V": {"A": W3, "C": W3, "G": W3},
    "N": {b: .25 for b in BASES},
}
PAIRS = {"M": "AC", "R": "AG", "W": "AT", "S": "CG", "Y": "CT", "K": "GT"}
TRIPLES = {"B": "CGT", "D": "AGT", "H": "ACT", "V": "ACG"}
D333 = 0.3330000042915344
LABELS = {1: "Ri", 2: "BvH HI", 3: "Rsequence_BvH", 4: "Rsequence_Differential_Rsequence",
          5: "Rsequence_Ri", 6: "PredictRegulon", 7: "RE_Ri", 8: "Differential_RE", 9: "Iseq",
          10: "Oprex_HI", 11: "Differential_Rsequence"}
COMPLEMENT = dict(zip("ACGTBVDHKMRYSWNX", "TGCAVBHDMKYRSWXN"))


def log2(x):
    return math.log10(x) / LAMBDA


def build_model(sites, H=2.0, p=(0.25,) * 4):
    L = len(sites[0])
    model = []
    for l in range(L):
        n = {b: 0.0 for b in BASES}
        for s in sites:
            for b, w in COUNT_WEIGHTS.get(s[l], {}).items():
                n[b] += w
        T = n["A"] + n["C"] + n["G"] + n["T"]
        f = {b: n[b] / T for b in BASES}
        if f["A"] >= f["C"] and f["A"] >= f["G"] and f["A"] >= f["T"]:
            c = "A"
        elif f["C"] >= f["G"] and f["C"] >= f["T"]:
            c = "C"
        elif f["G"] >= f["T"]:
            c = "G"
        else:
            c = "T"
        s = 0.0
        for b in BASES:
            s += (f[b] + EPS) * log2(f[b] + EPS)
        R = H + s
        E = 0.0
        for i, b in enumerate(BASES):
            E += (f[b] + EPS) * log2((f[b] + EPS) / p[i])
        model.append((f, n, c, R, E))
    return model


def F(f, x):
    if x in BASES:
        return f[x]
    if x == "U":
        return f["T"]
    if x in PAIRS:
        a, b = PAIRS[x]
        return (f[a] + f[b]) * 0.5
    if x in TRIPLES:
        a, b, c = TRIPLES[x]
        return (f[a] + f[b] + f[c]) / 3
    return 0.25


def differential(n, x, N, H, p):
    d = {b: 0.0 for b in BASES}
    if x in BASES:
        d[x] = 1.0
    elif x in PAIRS:
        for b in PAIRS[x]:
            d[b] = 0.5
    elif x in TRIPLES:
        for b in TRIPLES[x]:
            d[b] = D333
    else:
        d = {b: 0.25 for b in BASES}
    q = [(n[b] + d[b]) / (N + 1) for b in BASES]
    s = 0.0
    for qb in q:
        s += (qb + EPS) * log2(qb + EPS)
    Rp = H + s
    Ep = 0.0
    for i, qb in enumerate(q):
        Ep += (qb + EPS) * log2((qb + EPS) / p[i])
    return Rp, Ep


def term(method, entry, x, N, H=2.0, p=(0.25,) * 4):
    f, n, c, R, E = entry
    g = (F(f, x) + 1 / N) / (1 + 4 / N)
    px = p[BASES.index(x)] if x in BASES else 0.25
    if method == 1:
        return H + log2(g)
    if method in (2, 3):
        t = math.log((F(f, c) + 1 / N) / (F(f, x) + 1 / N))
        return t if method == 2 else R * t
    if method in (4, 11):
        Rp = differential(n, x, N, H, p)[0]
        return R * (Rp - R) if method == 4 else Rp - R
    if method == 5:
        return R * (H + log2(g))
    if method == 6:
        return E * F(f, x)
    if method == 7:
        return E * (H + log2(g))
    if method == 8:
        return E * (differential(n, x, N, H, p)[1] - E)
    if method == 9:
        return log2(g / px)
    if method == 10:
        gc = (F(f, c) + 1 / N) / (1 + 4 / N)
        return (gc / g) * log2(g)
    return 0.0


def score(method, model, window, N):
    s = 0.0
    for l, x in enumerate(window):
        s += term(method, model[l], x, N)
    return s


def relax(cutoff, method, R):
    lower = method in (2, 3)
    if cutoff < 0:
        lower = not lower  # a negative cut-off moves towards admitting more windows
    return cutoff * R if lower else cutoff / R


def integrative_scan(text, L, method, model, N, cutoff, redundant, X, Y, I, J):
    """Both passes with the neighbourhood queue and its running means, in the
    exact order of additions and subtractions of the rules."""
    lower = method in (2, 3)
    W = 2 * max(abs(X), abs(J)) + 1
    h = (W - 1) // 2
    upFirst, upLast, downFirst, downLast = X + h, Y + h, I + h, J + h
    upCount, downCount = Y - X + 1, J - I + 1
    hits = []
    reverse = "".join(COMPLEMENT[ch] for ch in reversed(text) if ch in COMPLEMENT)
    global_sum = 0.0
    for strand, s in ((True, text), (False, reverse)):
        n = len(s)
        global_sum = 0.0
        if n < L or n < h + 1:
            continue
        wrapped = s + (s * (1 + (L + h) // n))[:L + h]
        T = n + L + h
        fill = s[n - h:] + wrapped[:L + h + 1]
        queue = []
        local = up = down = 0.0
        for k in range(W):
            r = n - h + k if k < h else k - h
            sc = score(method, model, fill[k:k + L], N)
            queue.append(dict(site=fill[k:k + L], strand=strand, pos=r if strand else n - r,
                              score=sc))
            local += sc
            if upFirst <= k <= upLast:
                up += sc
            if downFirst <= k <= downLast:
                down += sc
        local /= W
        up /= upCount
        down /= downCount
        for start in range(h + 1, n + h):
            w = wrapped[start:start + L]
            sc = score(method, model, w, N)
            scanned = dict(site=w, strand=strand, pos=start if strand else n - start, score=sc)
            centre = queue[h]
            centre.update(local=local, up=up, down=down)
            cand = dict(centre)
            local -= queue[0]["score"] / W
            up -= queue[upFirst]["score"] / upCount
            down -= queue[downFirst]["score"] / downCount
            queue.append(scanned)
            queue.pop(0)
            local += queue[W - 1]["score"] / W
            up += queue[upLast]["score"] / upCount
            down += queue[downLast]["score"] / downCount
            global_sum += sc / T
            ok = cand["score"] < cutoff if lower else cand["score"] > cutoff
            if not ok:
                continue
            if redundant:
                partner = next((k for k, hh in enumerate(hits) if hh["strand"] != cand["strand"]
                                and hh["pos"] in (cand["pos"] + L, cand["pos"] - L)), None)
                if partner is not None:
                    better = (cand["score"] < hits[partner]["score"] if lower
                              else cand["score"] > hits[partner]["score"])
                    if better:
                        hits[partner] = cand
                    continue
            hits.append(cand)
    return hits, global_sum


def rescore(hits, method, global_mean):
    for hh in hits:
        up = hh["up"]
        ref = {2: hh["local"], 3: hh["down"]}.get(method, global_mean)
        ratio = up / ref if ref != 0 else (math.copysign(math.inf, up) if up != 0 else math.nan)
        if up < 0 and ref < 0:
            ratio = 1 / ratio
        hh["score"] = hh["score"] * ratio


def general(v, prec):
    if math.isnan(v):
        return "nan"
    if math.isinf(v):
        return "-inf" if v < 0 else "inf"
    sci = "%.*e" % (prec - 1, v)
    mant, exp = sci.split("e")
    exp = int(exp)
    if exp < -4 or exp >= prec:
        if "." in mant:
            mant = mant.rstrip("0").rstrip(".")
        return "%se%s%03d" % (mant, "-" if exp < 0 else "+", abs(exp))
    s = "%.*f" % (prec - 1 - exp, v)
    if "." in s:
        s = s.rstrip("0").rstrip(".")
    return s


def read_fasta(path):
    records, desc, seq = [], None, []
    for line in open(path).read().split("\n"):
        if line.startswith(">"):
            if desc is not None:
                records.append((desc, "".join(seq)))
            desc, seq = line[1:], []
        elif desc is not None:
            seq.append(line.upper())
    records.append((desc, "".join(seq)))
    return records


def scan(text, L, method, model, N, cutoff, redundant):
    lower = method in (2, 3)
    hits = []
    n = len(text)
    strands = [(True, text), (False, "".join(COMPLEMENT[ch] for ch in reversed(text) if ch in COMPLEMENT))]
    for strand, s in strands:
        m = len(s)
        if m < L:
            continue
        wrapped = s + s[:L]
        for i in range(m):
            w = wrapped[i:i + L]
            sc = score(method, model, w, N)
            ok = sc < cutoff if lower else sc > cutoff
            if not ok:
                continue
            pos = i if strand else m - i
            hit = dict(site=w, strand=strand, pos=pos, score=sc)
            if redundant:
                partner = next((k for k, h in enumerate(hits) if h["strand"] != strand
                                and h["pos"] in (pos + L, pos - L)), None)
                if partner is not None:
                    better = sc < hits[partner]["score"] if lower else sc > hits[partner]["score"]
                    if better:
                        hits[partner] = hit
                    continue
            hits.append(hit)
    return hits


def main():
    target, sites_path, method, threshold, literal, sort_score, redundant = sys.argv[1:8]
    integ = [float(a) if "." in a else int(a) for a in sys.argv[8:14]]  # X Y I J R rescore
    method, literal, sort_score, redundant = int(method), literal == "1", sort_score == "1", redundant == "1"
    t = float(threshold)
    sites = [ln.upper() for ln in open(sites_path).read().split("\n") if ln]
    N, L = len(sites), len(sites[0])
    model = build_model(sites)
    self_scores = [score(method, model, s, N) for s in sites]
    if literal:
        cutoff = t
    else:
        total = 0.0
        for v in self_scores:
            total += v
        m = total / N
        var = 0.0
        for v in self_scores:
            var += (v - m) ** 2
        sd = math.sqrt(var / N)
        p, q = (t, 1 - t) if method in (2, 3) else (1 - t, t)
        if 0 < p <= 1 and 0 < q <= 1 and abs(p + q - 1) <= 3 * 2 ** -52 and sd > 0:
            cutoff = m + sd * statistics.NormalDist().inv_cdf(p)
        else:
            cutoff = 0.0
    if integ:
        cutoff = relax(cutoff, method, integ[4])
    out = []
    prec = 6
    total_hits = 0
    for desc, seq in read_fasta(target):
        gmean = 0.0
        if integ:
            hits, gmean = integrative_scan(seq, L, method, model, N, cutoff, redundant, *integ[:4])
            rescore(hits, integ[5], gmean)
        else:
            hits = scan(seq, L, method, model, N, cutoff, redundant)
        if sort_score:
            hits.sort(key=lambda h: h["score"], reverse=method not in (2, 3))
        else:
            hits.sort(key=lambda h: h["pos"] & 0xFFFFFFFF)
        out.append("Sequence," + desc)
        out.append("Global score mean:," + general(gmean, prec))
        out.append("Score,Site,Strand,Distance,Type,Abs. position,Gene strand,Start,End,Gene tag,"
                   "Gene,Product,Local Mean,Up Mean,Dw Mean")
        for h in hits:
            prec = 14
            out.append("%s,%s,%d,0,Unknown,%d,0,0,0,Unavailable,Unavailable,Unavailable,%s,%s,%s" % (
                general(h["score"], 14), h["site"], 1 if h["strand"] else 0,
                (h["pos"] + 1) & 0xFFFFFFFF, general(h.get("local", 0.0), 14),
                general(h.get("up", 0.0), 14), general(h.get("down", 0.0), 14)))
        total_hits += len(hits)
    out.append("")
    out.append("Sequences,%d" % len(read_fasta(target)))
    out.append("Sites,%d" % total_hits)
    out.append("A priori H,%.3f" % 2.0)
    out.append("Method," + LABELS.get(method, "???"))
    out.append("Cut-off,%+.3f; - %s" % (cutoff, "Literal" if literal else "Computed"))
    print("\n".join(out))


if __name__ == "__main__":
    main()
