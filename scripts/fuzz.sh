#!/usr/bin/env bash
# make fuzz: builds the libFuzzer harnesses (fuzz/) with clang into BUILD and
# runs them one after the other, each for FUZZ_SECONDS from a scratch copy of
# its seed corpus fuzz/corpus/<harness>/ (new inputs stay in BUILD/corpus/).
# Prints per harness the executions and the findings; exits 1 when a harness
# found something, its reproducer left in BUILD/findings/<harness>/.
#   scripts/fuzz.sh BUILD    FUZZ_SECONDS (default 60), FUZZ_HARNESSES (default all)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
jobs=${JOBS:-2}

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j "$jobs"

harnesses=${FUZZ_HARNESSES:-$(ls fuzz/corpus)}

# The merge, collection and search harnesses write their inputs to a folder
# of the system's temporary folder; memory-backed, that costs microseconds
# instead of milliseconds per run.
scratch_root=$build
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    scratch_root=/dev/shm
fi
scratch=$(mktemp -d "$scratch_root/xoprex-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

summary=()
found=0
for harness in $harnesses; do
    program=$build/fuzz_$harness
    [ -x "$program" ] || { echo "fuzz: no program $program" >&2; exit 1; }
    corpus=$build/corpus/$harness
    findings=$build/findings/$harness
    log=$build/logs/$harness.log
    rm -rf "$corpus" "$findings"
    mkdir -p "$corpus" "$findings" "$(dirname "$log")"
    cp fuzz/corpus/"$harness"/* "$corpus"/
    echo "fuzz: $harness for ${seconds}s (log: $log)"
    status=0
    TMPDIR=$scratch "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    # The last status line: edges covered and the corpus kept (inputs/bytes).
    done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1 || true)
    cover=$(sed -n 's/.* cov: \([0-9]*\) .*/\1/p' <<<"$done_line")
    kept=$(sed -n 's/.* corp: \([^ ]*\) .*/\1/p' <<<"$done_line")
    artifacts=$(find "$findings" -type f | wc -l)
    if [ "$status" -ne 0 ] || [ "$artifacts" -ne 0 ]; then
        found=1
        grep -m 3 -E "^==[0-9]+==ERROR|runtime error|deadly signal|what\(\)|Timeout|out-of-memory" \
            "$log" || true
        result="FOUND (exit $status): $(find "$findings" -type f | tr '\n' ' ')"
    else
        result="none"
    fi
    summary+=("$(printf '%-16s %10s runs %7s exec/s  cov %5s  corpus %-12s findings: %s' \
        "$harness" "${runs:-?}" "${speed:-?}" "${cover:-?}" "${kept:-?}" "$result")")
done

echo
echo "fuzz: ${seconds}s per harness"
printf '%s\n' "${summary[@]}"
if [ "$found" -ne 0 ]; then
    echo "fuzz: findings above; reproduce with $build/fuzz_<harness> <file>"
    exit 1
fi
