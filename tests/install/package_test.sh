#!/usr/bin/env bash
# Builds the Debian package with CPack into a scratch folder and checks its
# files and dependencies.
# Usage: package_test.sh BUILD_DIR GUI(ON|OFF)
set -euo pipefail
build=$1
gui=$2
for tool in cpack dpkg-deb dpkg-shlibdeps; do
    if ! command -v "$tool" > /dev/null; then
        echo "package test: $tool is not installed"
        exit 77
    fi
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

fail() {
    echo "package test: $*" >&2
    exit 1
}
cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake" > "$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; fail "cpack failed"; }
package=$(ls "$out"/xoprex_*.deb)
contents=$(dpkg-deb -c "$package")
expected=(./usr/bin/xoprex ./usr/share/man/man1/xoprex.1.gz ./usr/share/doc/xoprex/copyright)
if [ "$gui" = ON ]; then
    expected+=(./usr/bin/xoprex-gui ./usr/share/applications/xoprex.desktop
        ./usr/share/icons/hicolor/256x256/apps/xoprex.png)
fi
for file in "${expected[@]}"; do
    grep -q " $file\$" <<< "$contents" || fail "$file is not in the package"
done
depends=$(dpkg-deb -f "$package" Depends)
for library in libisal2 libc6 libstdc++6; do
    grep -q "$library" <<< "$depends" || fail "Depends lacks $library: $depends"
done
maintainer=$(dpkg-deb -f "$package" Maintainer)
grep -Eq '^[^<>]+ <[^@<>]+@[^@<>]+\.[a-z]+>$' <<< "$maintainer" && ! grep -q localhost <<< "$maintainer" ||
    fail "Maintainer is not a name and an address: $maintainer"
echo "package test: $(basename "$package"), Depends: $depends, Maintainer: $maintainer"
