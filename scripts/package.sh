#!/usr/bin/env bash
# Builds the Debian package of the panel and the simulator, then checks it:
# lists its contents, unpacks it into a scratch root and runs the unpacked
# zrm-sim --help against the system's Qt libraries.
#   scripts/package.sh           build into build-package/ and check
# Prints the path of the .deb as its last line.
set -euo pipefail
source "$(dirname "$0")/setup.sh"

build_dir="$ZRM_ROOT/build-package"

zrm_require_packages
rm -f "$build_dir"/zrm-panel_*.deb
cmake -S "$ZRM_ROOT" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DZRM_WERROR=ON \
    -DZRM_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j "$(nproc)" >/dev/null
(cd "$build_dir" && cpack -G DEB >/dev/null)

debs=("$build_dir"/zrm-panel_*.deb)
deb="${debs[0]}"
[ -f "$deb" ] || { echo "package.sh: no .deb was built" >&2; exit 1; }

echo "== $(basename "$deb")"
dpkg-deb --field "$deb"
echo "== contents"
dpkg-deb --contents "$deb"

fail() {
    echo "package.sh: $*" >&2
    exit 1
}

depends="$(dpkg-deb --field "$deb" Depends)"
for lib in libqt6widgets6 libqt6serialport6 libqt6gui6 libqt6core6; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
contents="$(dpkg-deb --contents "$deb")"
for path in ./usr/bin/zrm-panel ./usr/bin/zrm-sim ./usr/share/applications/zrm-panel.desktop \
    ./usr/share/icons/hicolor/scalable/apps/zrm-panel.svg; do
    grep -q " $path\$" <<<"$contents" || fail "missing $path"
done

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch"
"$scratch/usr/bin/zrm-sim" --help >"$scratch/help.txt" || fail "zrm-sim --help failed"
grep -q '^Usage: zrm-sim' "$scratch/help.txt" || fail "zrm-sim --help printed no usage"
# The unpacked panel must find every library it links on this system.
missing="$(ldd "$scratch/usr/bin/zrm-panel" | grep 'not found' || true)"
[ -z "$missing" ] || fail "zrm-panel needs libraries that are not installed: $missing"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$scratch/usr/share/applications/zrm-panel.desktop"
fi
echo "== package checked: zrm-sim --help runs from the unpacked root"
echo "$deb"
