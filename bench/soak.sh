#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fault soak and runs it: the panel window against zrm-sim for the
# given time with keys pressed at random and every fault of the simulator
# injected, then the check that REM reconnects and the displays agree again.
#   bench/soak.sh [SECONDS] [--sanitize] [soak options...]
#     SECONDS      length of the soak, 600 by default
#     --sanitize   the AddressSanitizer + UBSan build in build-sanitize/
#                  (otherwise the plain build in build/)
#     e.g. --seed N to repeat a run's random choices, --max-growth-mb MB
set -euo pipefail
source "$(dirname "$0")/../scripts/setup.sh"

seconds=600
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
    seconds="$1"
    shift
fi
build_dir="$ZRM_ROOT/build"
cmake_options=(-DZRM_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
    shift
    build_dir="$ZRM_ROOT/build-sanitize"
    cmake_options+=(-DZRM_SANITIZE=ON)
    export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}print_stacktrace=1:halt_on_error=1"
fi

zrm_require_packages build
cmake -S "$ZRM_ROOT" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cmake_options[@]}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target soak zrm-sim >/dev/null
exec "$build_dir/soak" "$seconds" "$@"
