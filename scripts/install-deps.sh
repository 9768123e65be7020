#!/usr/bin/env bash
# Installs the Debian packages XOprex builds with. Idempotent: only what is
# missing is installed, and nothing is fetched when everything is present.
#   --fuzz  also clang and its libFuzzer / sanitizer runtime (make fuzz)
#   --workflow  also Snakemake, for workflow/ (large, so not installed by default)
#   --regulon  also Snakemake and MMseqs2, for the workflow's regulon comparison
#   --chromium  also Chromium, which make screenshots uses to capture the HTML report
set -euo pipefail

packages=(
    cmake g++ make
    qt6-base-dev
    qt6-svg-dev
    libcli11-dev
    libgtest-dev
    libbenchmark-dev
    libisal-dev
    dpkg-dev
    xvfb xauth
    # Real readers of the results, for the tests that check the files with them
    bedtools genometools python3-pandas
)
for arg in "$@"; do
    case "$arg" in
        --fuzz) packages+=(clang libclang-rt-14-dev) ;;
        --workflow) packages+=(snakemake) ;;
        --regulon) packages+=(snakemake mmseqs2) ;;
        --chromium) packages+=(chromium) ;;
        *)
            echo "install-deps: unknown argument $arg" >&2
            exit 1
            ;;
    esac
done

missing=()
for pkg in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all build dependencies are present"
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
