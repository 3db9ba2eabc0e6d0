# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the scripts: make sure the Debian packages they need are installed,
# then configure and build a tree. Sourced, not run.

ZRM_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Every Debian package the scripts need on a bare Debian 12 system, one a line:
# its group, the package, why. A script asks for its groups; the root path
# installs the missing ones from here and the line printed for other users lists
# them from here, so adding a package is adding its line.
ZRM_PACKAGE_LIST='
build       cmake
build       make
build       g++                    # also the sanitizer runtimes
build       qt6-base-dev           # Qt Core, Gui, Widgets, Network, D-Bus, Test
build       libqt6opengl6-dev      # Qt6OpenGL for Qt6Charts; qt6-base-dev only recommends it
build       qt6-serialport-dev
build       qt6-charts-dev
format      clang-format
format      git                    # the format check lists the tracked files
demo        xvfb                   # the virtual display of --screenshot
demo        xauth                  # xvfb-run hands the display to the panel with it
demo        x11-utils              # xwininfo finds the panel window
demo        imagemagick            # import takes the picture
fuzz        clang
fuzz        libclang-rt-14-dev     # libFuzzer and clang sanitizer runtimes
package     dpkg-dev               # dpkg-buildflags
package     lintian
package     appstream
package     desktop-file-utils
package     man-db
remote      python3-pyvisa-py      # clients that the remote-control tests drive the panel with
remote      lxi-tools
remote      netcat-openbsd
test        dbus-daemon            # the private session bus of the sleep-block test
fresh-root  debootstrap
fresh-root  git                    # the checkout is cloned from HEAD
'

# The packages of the given groups, one a line.
zrm_packages() {
    local group package rest wanted
    while read -r group package rest; do
        [ -n "$package" ] || continue
        for wanted in "$@"; do
            [ "$group" = "$wanted" ] && echo "$package"
        done
    done <<<"$ZRM_PACKAGE_LIST"
}

# zrm_require_packages GROUP...: installs the missing packages of the groups.
# As root it runs apt-get; otherwise it prints the line to run as root, which
# also works on a machine that never fetched the package lists, and stops.
zrm_require_packages() {
    local missing=()
    local pkg
    for pkg in $(zrm_packages "$@" | sort -u); do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    else
        echo "These Debian packages are missing: ${missing[*]}" >&2
        echo "Install them as root with this line, then run $(basename "$0") again:" >&2
        echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
        exit 1
    fi
}

# Checks every tracked C++ file against the root .clang-format and fails on a
# difference (clang-format and git come with the format group).
zrm_check_format() {
    if ! git -C "$ZRM_ROOT" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        echo "Format check skipped: $ZRM_ROOT is not a git checkout." >&2
        return 0
    fi
    echo "Checking the formatting with $(clang-format --version)"
    if ! git -C "$ZRM_ROOT" ls-files -z -- '*.cpp' '*.h' |
        (cd "$ZRM_ROOT" && xargs -0 -r clang-format --dry-run --Werror); then
        echo "Formatting differs from .clang-format: run clang-format -i on the files above." >&2
        return 1
    fi
}

# zrm_build DIR [cmake options...] [-- targets...]: configure (once) and build
# DIR, all of it or the targets given.
zrm_build() {
    local dir="$1"
    shift
    local options=() targets=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do
        options+=("$1")
        shift
    done
    [ $# -gt 0 ] && shift
    targets=("$@")
    cmake -S "$ZRM_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
    cmake --build "$dir" -j "$(nproc)" ${targets[@]:+--target "${targets[@]}"}
}
