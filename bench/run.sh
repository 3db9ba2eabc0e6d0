#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the panel, the simulator and the benchmarks, then runs the panel
# program once against zrm-sim with line pacing on and prints its figures:
# start-up to "Ready" next to the wire floor, CPU while polling and during
# reply timeouts, peak resident memory; then the panel with a day of readings
# in its trend: CPU with the trend closed and open, peak resident memory;
# then the program headless with remote control: query round trips, how soon
# a set reaches the wire, a fresh reading, CPU with a client asking ten times
# a second, 10 000 pipelined commands. Takes about 3 minutes.
#   bench/run.sh [build-dir]      (default build/)
set -euo pipefail
source "$(dirname "$0")/../scripts/setup.sh"

build_dir="${1:-$ZRM_ROOT/build}"
zrm_require_packages
cmake -S "$ZRM_ROOT" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target link_bench trend_bench remote_bench zrm-panel \
    zrm-sim >/dev/null
"$build_dir/link_bench"
"$build_dir/trend_bench"
"$build_dir/remote_bench"
