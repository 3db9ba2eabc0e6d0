#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the formatting of the C++ files against .clang-format, builds the
# panel, the simulator and the tests with warnings as errors and runs the whole
# suite offscreen.
#   scripts/test.sh              plain build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UBSan build in build-sanitize/
#   scripts/test.sh --all        the plain suite, then the sanitized suite, every
#                                fuzz target for 20 s, a 2-minute fault soak under
#                                the sanitizers, the package check and the
#                                fresh-root check (scripts/fresh-root.sh); the
#                                default when CI=true
set -euo pipefail
source "$(dirname "$0")/setup.sh"

mode="${1:-}"
if [ -z "$mode" ] && [ "${CI:-}" = "true" ]; then
    mode="--all"
fi

build_dir="$ZRM_ROOT/build"
cmake_options=(-DZRM_WERROR=ON)
if [ "$mode" = "--sanitize" ]; then
    build_dir="$ZRM_ROOT/build-sanitize"
    cmake_options+=(-DZRM_SANITIZE=ON)
fi

zrm_require_packages build format remote test
zrm_check_format
zrm_build "$build_dir" "${cmake_options[@]}"

(
    export QT_QPA_PLATFORM=offscreen
    cd "$build_dir"
    ctest --output-on-failure -j "$(nproc)"
)

if [ "$mode" = "--all" ]; then
    "$0" --sanitize
    "$ZRM_ROOT/scripts/fuzz.sh" 20
    "$ZRM_ROOT/bench/soak.sh" 120 --sanitize
    "$ZRM_ROOT/scripts/package.sh"
    "$ZRM_ROOT/scripts/fresh-root.sh"
fi
