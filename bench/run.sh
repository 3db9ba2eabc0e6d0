#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the panel, the simulator and the benchmarks, then runs the panel
# program once against zrm-sim with line pacing on and prints its figures:
# start-up to "Ready" next to the wire floor, CPU while polling and during
# reply timeouts, peak resident memory. Then the panel with a full day of
# readings and a thousand gaps in its trend: CPU with the trend closed, side
# by side with an earlier build measured in the same run, and with the trend
# open on each of its views, and peak resident memory. Then the program
# headless with remote control: query round trips, how soon a set reaches the
# wire, a fresh reading, CPU with a client asking ten times a second, 10 000
# pipelined commands. Last, a ten-minute run with a step every 10 s and
# ramps: how late each step's first command reached the wire, the drift from
# the first step to the last, CPU over the run. Every figure comes with its
# goal ("met" or "MISSED"). Takes about 29 minutes.
#   bench/run.sh [build-dir] [--against REV]
# The earlier build is REV's, built in build-dir/bench-base/: by default the
# commit where HEAD left main, or on main the commit before HEAD.
set -euo pipefail
source "$(dirname "$0")/../scripts/setup.sh"

build_dir="$ZRM_ROOT/build"
against=""
while [ $# -gt 0 ]; do
    case "$1" in
    --against)
        against="$2"
        shift 2
        ;;
    *)
        build_dir="$1"
        shift
        ;;
    esac
done

zrm_require_packages build
cmake -S "$ZRM_ROOT" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target link_bench trend_bench remote_bench run_bench \
    zrm-panel zrm-sim >/dev/null

# The earlier build, for the trend-closed figure; none outside a git checkout.
base_bench=""
base_rev=""
if git -C "$ZRM_ROOT" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    if [ -z "$against" ]; then
        against="$(git -C "$ZRM_ROOT" merge-base HEAD main 2>/dev/null || true)"
        if [ -z "$against" ] || [ "$against" = "$(git -C "$ZRM_ROOT" rev-parse HEAD)" ]; then
            against="HEAD~1"
        fi
    fi
    base_rev="$(git -C "$ZRM_ROOT" rev-parse --short "$against")"
    base_dir="$build_dir/bench-base/$base_rev"
    if [ ! -x "$base_dir/build/trend_bench" ]; then
        rm -rf "$base_dir"
        mkdir -p "$base_dir/src"
        git -C "$ZRM_ROOT" archive "$base_rev" | tar -x -C "$base_dir/src"
        cmake -S "$base_dir/src" -B "$base_dir/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
        cmake --build "$base_dir/build" -j "$(nproc)" --target trend_bench >/dev/null
    fi
    base_bench="$base_dir/build/trend_bench"
fi

echo "Machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$build_dir/link_bench"
if [ -n "$base_bench" ]; then
    # Earlier builds that measure more than the closed trend do so after it.
    echo "Trend, as built at $base_rev:"
    before="$("$base_bench" --closed-only 2>/dev/null || true)"
    grep 'the trend closed' <<<"$before" || true
    closed_before="$(awk '/the trend closed/ {print $5; exit}' <<<"$before")"
    echo "Trend, this build:"
    "$build_dir/trend_bench" ${closed_before:+--closed-before "$closed_before" --before-name "$base_rev"}
else
    "$build_dir/trend_bench"
fi
"$build_dir/remote_bench"
"$build_dir/run_bench"
echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
