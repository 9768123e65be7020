#!/usr/bin/env bash
# Runs every benchmark: the scan microbenchmark, the whole-genome timings and
# the side-by-side comparison with the plain-loop baseline (and Biopython when
# installed).
#   bench/run.sh <build folder>
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
"$build/bench/bench_scan"
"$root/bench/genome.sh" "$build/src/cli/xoprex"
"$root/bench/compare.sh" "$build"
