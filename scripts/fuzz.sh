#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan) in
# build-fuzz/ and runs each for the given time, starting from the seed corpus
# in fuzz/corpus/<target>/. New inputs go to build-fuzz/corpus/<target>/, the
# inputs of findings to build-fuzz/findings/. Exits non-zero on any finding.
#   scripts/fuzz.sh [SECONDS]    seconds per target, 60 by default
set -euo pipefail
source "$(dirname "$0")/setup.sh"

seconds="${1:-60}"
build_dir="$ZRM_ROOT/build-fuzz"

zrm_require_packages build fuzz
CC=clang CXX=clang++ cmake -S "$ZRM_ROOT" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZRM_FUZZ=ON -DZRM_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target zrm_fuzzers -j "$(nproc)" >/dev/null

findings="$build_dir/findings"
mkdir -p "$findings"
summary=()
failed=0
for fuzzer in "$build_dir"/fuzzers/fuzz_*; do
    name="$(basename "$fuzzer")"
    corpus="$build_dir/corpus/$name"
    log="$build_dir/$name.log"
    mkdir -p "$corpus"
    echo "== $name: ${seconds} s"
    status=0
    "$fuzzer" "$corpus" "$ZRM_ROOT/fuzz/corpus/$name" -max_total_time="$seconds" \
        -timeout=10 -print_final_stats=1 -artifact_prefix="$findings/$name-" \
        >"$log" 2>&1 || status=$?
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    if [ "$status" -ne 0 ]; then
        failed=1
        tail -n 60 "$log"
        summary+=("$name: FINDING after ${runs:-?} executions (exit $status), see $log")
    else
        summary+=("$name: ${runs:-?} executions, no finding")
    fi
done

echo "== summary (${seconds} s per target)"
printf '%s\n' "${summary[@]}"
exit "$failed"
