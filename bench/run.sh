#!/usr/bin/env bash
# Runs every benchmark: the scan microbenchmark and the whole-genome timings.
#   bench/run.sh <build folder>
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
"$build/bench/bench_scan"
"$root/bench/genome.sh" "$build/src/cli/xoprex"
