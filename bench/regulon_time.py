#!/usr/bin/env python3
"""Times `xoprex regulon` against `xoprex search` on the same genome, runs
alternating, and prints the medians as a Markdown table (docs/regulon.md).
Run it on a quiet machine (check `uptime`), after the build.

    bench/regulon_time.py XOPREX GENOME COLLECTION [RUNS] [-- EXTRA FLAGS]

Each run writes into a fresh temporary folder; the flags --no-log --quiet
are added to every run, EXTRA FLAGS (after --) to both commands.
"""
import statistics
import subprocess
import sys
import tempfile
import time


def timed(command):
    with tempfile.TemporaryDirectory() as folder:
        start = time.perf_counter()
        subprocess.run(command + ["--out-dir", folder], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        return time.perf_counter() - start


def main():
    args = sys.argv[1:]
    extra = args[args.index("--") + 1:] if "--" in args else []
    args = args[:args.index("--")] if "--" in args else args
    xoprex, genome, collection = args[:3]
    runs = int(args[3]) if len(args) > 3 else 5
    common = ["--sequence", genome, "--collection", collection, "--no-log", "--quiet"] + extra
    times = {"search": [], "regulon": []}
    for _ in range(runs):
        for command in times:
            times[command].append(timed([xoprex, command] + common))
    search = statistics.median(times["search"])
    regulon = statistics.median(times["regulon"])
    flags = " ".join(extra) or "(defaults)"
    print(f"| {genome} | {flags} | {search:.3f} s | {regulon:.3f} s | {regulon / search:.2f} |")


if __name__ == "__main__":
    main()
