#!/usr/bin/env bash
# Installs the build into a scratch prefix (as `make install PREFIX=...`
# does) and checks the files, the manual page and the desktop entry.
# Usage: install_test.sh BUILD_DIR GUI(ON|OFF)
set -euo pipefail
build=$1
gui=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" > /dev/null

fail() {
    echo "install test: $*" >&2
    exit 1
}
expected=(bin/xoprex share/man/man1/xoprex.1.gz share/doc/xoprex/copyright)
if [ "$gui" = ON ]; then
    expected+=(bin/xoprex-gui share/applications/xoprex.desktop)
    for size in 16 32 48 64 128 256; do
        expected+=("share/icons/hicolor/${size}x${size}/apps/xoprex.png")
    done
fi
for file in "${expected[@]}"; do
    [ -s "$prefix/$file" ] || fail "$file is missing"
done
[ -x "$prefix/bin/xoprex" ] || fail "bin/xoprex is not executable"
"$prefix/bin/xoprex" --help | grep -q search || fail "the installed xoprex does not run"

if [ "$gui" = ON ]; then
    entry="$prefix/share/applications/xoprex.desktop"
    grep -qx 'Exec=xoprex-gui' "$entry" || fail "the desktop entry does not start xoprex-gui"
    grep -qx 'Icon=xoprex' "$entry" || fail "the desktop entry names another icon"
    # PNG signature of every icon.
    for size in 16 256; do
        signature=$(head -c 8 "$prefix/share/icons/hicolor/${size}x${size}/apps/xoprex.png" | od -An -tx1 | tr -d ' \n')
        [ "$signature" = 89504e470d0a1a0a ] || fail "icon ${size}x${size} is not a PNG"
    done
    if command -v desktop-file-validate > /dev/null; then
        desktop-file-validate "$entry" || fail "desktop-file-validate refused the entry"
    fi
fi

if ! command -v man > /dev/null; then
    echo "install test: man is not installed; the page was not rendered"
    exit 77
fi
page="$prefix/share/man/man1/xoprex.1.gz"
warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 > /dev/null)
[ -z "$warnings" ] || fail "man warns about the page: $warnings"
text=$(MANWIDTH=80 man -l "$page" 2> /dev/null)
for section in NAME SYNOPSIS COMMANDS FILES "EXIT STATUS" EXAMPLES; do
    grep -q "^$section" <<< "$text" || fail "the page has no $section section"
done
version=$("$prefix/bin/xoprex" --version)
grep -q "XOprex ${version#xoprex }" <<< "$text" || fail "the page does not give the version of $version"
echo "install test: every file in place, the manual page renders without warnings"
