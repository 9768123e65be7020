#!/usr/bin/env bash
# Takes the documentation screenshots of the desktop program under a virtual
# X display with xoprex-screenshots (built beside xoprex-gui, not installed):
# the main window filled with the bundled example and its Extra group, and
# the results window of its search (with the regulon) on its hits, logo,
# scores, map and regulon tabs.
# The program grabs its own windows (no image tool needed); the search runs
# in a scratch folder so nothing is written next to the examples. When
# Debian's chromium is installed (scripts/install-deps.sh --chromium), the
# HTML report the search wrote is captured too (report.png, and report_ecoli.png
# of the README's search of E. coli when bench/data holds the genome); without it
# they are left as they are.
# Usage: scripts/screenshots.sh <xoprex-screenshots binary> <output folder>
set -euo pipefail

usage="usage: screenshots.sh <xoprex-screenshots> <output folder>"
program=$(realpath "${1:?$usage}")
mkdir -p "${2:?$usage}"
out=$(realpath "$2")
root=$(cd "$(dirname "$0")/.." && pwd)

if ! command -v xvfb-run >/dev/null; then
    echo "screenshots: xvfb-run is missing (install the xvfb package)" >&2
    exit 1
fi

# A fixed scratch folder keeps the paths shown in the pictures stable.
work="${TMPDIR:-/tmp}/xoprex-example"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
cp "$root/examples/pPCP1.gbk" "$root/examples/crp_sites.txt" "$work/"
chmod u+w "$work"/*
shots=(main_dialog.png extra_group.png results_window.png motif_logo.png score_histogram.png
    genome_map.png regulon_tab.png)
for shot in "${shots[@]}"; do rm -f "$out/$shot"; done

cd "$work"
QT_QPA_PLATFORM=xcb \
    timeout 180 xvfb-run -a -s "-screen 0 1280x900x24" \
    "$program" "$out" "$work/pPCP1.gbk" "$work/crp_sites.txt" "$work/pPCP1_report.html" \
    >"$work/run.log" 2>&1 || {
    cat "$work/run.log" >&2
    echo "screenshots: the program failed" >&2
    exit 1
}

for shot in "${shots[@]}"; do
    if [ ! -s "$out/$shot" ]; then
        cat "$work/run.log" >&2
        echo "screenshots: $out/$shot was not written" >&2
        exit 1
    fi
    echo "screenshots: $out/$shot"
done

# The results window of a search of 25,000 records (2 kb pieces of E. coli,
# bench/many_records.sh): the Hits tab and the map of the records with hits.
if many=$("$root/bench/many_records.sh" "$root/bench/data" 2>/dev/null); then
    mkdir -p "$work/many" "$work/many_shots"
    cp "$many" "$work/many/pieces.fna"
    cp "$root/examples/crp_sites.txt" "$work/many/"
    QT_QPA_PLATFORM=xcb \
        timeout 600 xvfb-run -a -s "-screen 0 1280x900x24" \
        "$program" "$work/many_shots" "$work/many/pieces.fna" "$work/many/crp_sites.txt" \
        >"$work/many.log" 2>&1 || {
        cat "$work/many.log" >&2
        echo "screenshots: the program failed on the 25,000 records" >&2
        exit 1
    }
    cp "$work/many_shots/results_window.png" "$out/many_records_hits.png"
    cp "$work/many_shots/genome_map.png" "$out/many_records_map.png"
    echo "screenshots: $out/many_records_hits.png"
    echo "screenshots: $out/many_records_map.png"
else
    echo "screenshots: the E. coli genome could not be fetched: many_records_*.png left as they are"
fi

if command -v chromium >/dev/null; then
    profile=$(mktemp -d)
    timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$profile" --hide-scrollbars --screenshot="$out/report.png" \
        --window-size=1200,1900 "file://$work/pPCP1_report.html" >"$work/chromium.log" 2>&1 || {
        cat "$work/chromium.log" >&2
        echo "screenshots: chromium could not capture the report" >&2
        rm -rf "$profile"
        exit 1
    }
    rm -rf "$profile"
    echo "screenshots: $out/report.png"
    # The report of the README's search of E. coli (when the genome is there).
    cli="$(dirname "$program")/../cli/xoprex"
    genome="$root/bench/data/ecoli536.fna"
    if [ -x "$cli" ] && [ -s "$genome" ]; then
        mkdir -p "$work/ecoli"
        "$cli" search --sequence "$genome" --collection "$root/examples/crp_sites.txt" \
            --pvalue 1e-5 --format tsv --report "$work/ecoli/ecoli536_crp.html" --quiet \
            --out-dir "$work/ecoli" >"$work/ecoli.log" 2>&1
        profile=$(mktemp -d)
        timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
            --disable-background-networking --disable-component-update --disable-sync \
            --user-data-dir="$profile" --hide-scrollbars --screenshot="$out/report_ecoli.png" \
            --window-size=1200,2600 "file://$work/ecoli/ecoli536_crp.html" >"$work/chromium.log" 2>&1
        rm -rf "$profile"
        echo "screenshots: $out/report_ecoli.png"
    fi
else
    echo "screenshots: chromium is not installed: report.png left as it is"
fi
