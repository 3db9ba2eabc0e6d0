#!/usr/bin/env bash
# Builds the panel, the simulator and the tests with warnings as errors and runs
# the whole suite offscreen.
#   scripts/test.sh              plain build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UBSan build in build-sanitize/
set -euo pipefail
source "$(dirname "$0")/setup.sh"

build_dir="$ZRM_ROOT/build"
cmake_options=(-DZRM_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
    build_dir="$ZRM_ROOT/build-sanitize"
    cmake_options+=(-DZRM_SANITIZE=ON)
fi

zrm_require_packages
zrm_build "$build_dir" "${cmake_options[@]}"

export QT_QPA_PLATFORM=offscreen
cd "$build_dir"
ctest --output-on-failure -j "$(nproc)"
