# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the scripts: make sure the build tools and Qt 6 are installed, then
# configure and build a tree. Sourced, not run.

ZRM_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ZRM_PACKAGES=(cmake g++ make qt6-base-dev qt6-serialport-dev qt6-charts-dev libgl-dev
    # Clients of remote control that the tests drive it with.
    python3-pyvisa-py lxi-tools netcat-openbsd)

# Installs the Debian packages given (on top of the build set) that are missing.
# As root it runs apt-get; otherwise it prints the apt-get line and stops.
zrm_require_packages() {
    local missing=()
    local pkg
    for pkg in "${ZRM_PACKAGES[@]}" "$@"; do
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
        echo "These packages are missing. Install them with:" >&2
        echo "  as root: apt-get install --no-install-recommends ${missing[*]}" >&2
        exit 1
    fi
}

# Checks every tracked C++ file against the root .clang-format and fails on a
# difference. clang-format is installed like the build set where that is
# possible; otherwise the check is skipped with a message.
zrm_check_format() {
    if ! command -v clang-format >/dev/null; then
        if [ "$(id -u)" -ne 0 ]; then
            echo "Format check skipped: clang-format is not installed" \
                "(as root: apt-get install --no-install-recommends clang-format)." >&2
            return 0
        fi
        zrm_require_packages clang-format
    fi
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

# zrm_build DIR [cmake options...]: configure (once) and build DIR.
zrm_build() {
    local dir="$1"
    shift
    cmake -S "$ZRM_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}
