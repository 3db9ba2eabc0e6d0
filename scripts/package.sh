#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package of the panel and the simulator, then checks it:
# lists its contents, runs Debian's package checker lintian, the AppStream and
# desktop-entry validators and man's own warnings on the manual pages, checks
# that zrm-sim(1) covers every option and control line of zrm-sim --help, and
# runs the unpacked zrm-sim --help and the panel's library lookup on this system.
#   scripts/package.sh           build into build-package/ and check
# Prints the path of the .deb as its last line.
set -euo pipefail
source "$(dirname "$0")/setup.sh"

build_dir="$ZRM_ROOT/build-package"
app_id=io.github.zrm_panel

zrm_require_packages build package
rm -f "$build_dir"/zrm-panel_*.deb
# Debian's own compiler and linker flags, hardening included, as a Debian
# build of the package would use them; from the source root, which they map
# out of the debugging paths.
buildflag() {
    (cd "$ZRM_ROOT" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1")
}
cmake -S "$ZRM_ROOT" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DZRM_WERROR=ON \
    -DZRM_BUILD_TESTS=OFF -DCMAKE_CXX_FLAGS="$(buildflag CPPFLAGS) $(buildflag CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(buildflag LDFLAGS)" >/dev/null
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
for lib in libqt6widgets6 libqt6serialport6 libqt6charts6 libqt6dbus6 libqt6gui6 libqt6core6; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
contents="$(dpkg-deb --contents "$deb")"
for path in ./usr/bin/zrm-panel ./usr/bin/zrm-sim \
    "./usr/share/applications/$app_id.desktop" "./usr/share/metainfo/$app_id.metainfo.xml" \
    ./usr/share/icons/hicolor/scalable/apps/zrm-panel.svg \
    ./usr/share/man/man1/zrm-panel.1.gz ./usr/share/man/man1/zrm-sim.1.gz \
    ./usr/share/doc/zrm-panel/copyright ./usr/share/doc/zrm-panel/changelog.gz; do
    grep -q " $path\$" <<<"$contents" || fail "missing $path"
done

echo "== lintian"
# lintian warns when run as root (as in CI); that note is not about the package.
lintian --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2) ||
    fail "lintian found errors or warnings"
echo "lintian: no errors, no warnings"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch"

echo "== appstreamcli"
appstreamcli validate --no-net "$scratch/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "the AppStream metadata is not valid"
echo "== desktop-file-validate"
desktop-file-validate "$scratch/usr/share/applications/$app_id.desktop" ||
    fail "the desktop entry is not valid"
echo "desktop-file-validate: no errors, no warnings"

echo "== man --warnings"
# In a UTF-8 locale and in the C locale of a bare system, which has fewer glyphs.
for page in zrm-panel zrm-sim; do
    for locale in C.UTF-8 C; do
        warnings="$(LC_ALL=$locale MANROFFSEQ='' MANWIDTH=80 \
            man --warnings -l "$scratch/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)"
        [ -z "$warnings" ] || fail "$page.1 in the $locale locale: $warnings"
    done
done
echo "man: no warnings on zrm-panel.1 and zrm-sim.1 in the C.UTF-8 and C locales"

"$scratch/usr/bin/zrm-sim" --help >"$scratch/help.txt" || fail "zrm-sim --help failed"
grep -q '^Usage: zrm-sim' "$scratch/help.txt" || fail "zrm-sim --help printed no usage"
# Every option and control line that --help lists has its own entry in the
# manual page (a tagged paragraph that starts with it).
zcat "$scratch/usr/share/man/man1/zrm-sim.1.gz" | sed 's/\\-/-/g' >"$scratch/zrm-sim.1"
options="$(grep -oE '^  --[a-z-]+' "$scratch/help.txt")"
controls="$(sed -n '/^Control lines on standard input:/,/^$/p' "$scratch/help.txt" |
    grep -oE '^  [a-z]+')"
for item in $options $controls; do
    grep -qE "^\.(B|BI|BR) \"?$item( |\"|$)" "$scratch/zrm-sim.1" ||
        fail "zrm-sim.1 has no entry for $item, which zrm-sim --help lists"
done
echo "zrm-sim.1: an entry for each of the $(wc -w <<<"$options $controls") options and control lines of --help"

# The unpacked panel must find every library it links on this system.
missing="$(ldd "$scratch/usr/bin/zrm-panel" | grep 'not found' || true)"
[ -z "$missing" ] || fail "zrm-panel needs libraries that are not installed: $missing"
echo "== package checked: zrm-sim --help runs from the unpacked root"
echo "$deb"
