#!/usr/bin/env bash
# Builds the benchmarks in Release into build-bench/ and runs them; extra arguments go to
# the benchmark program (e.g. --benchmark_filter=sample). Ends with the ratio of a
# load and save to its floor for every file the benchmarks ran on: the sample, the padded
# sample and the files padded by sections and by keys.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

build="$ROOT/build-bench"
ensure_packages g++ cmake ninja-build libbenchmark-dev
cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DJNX_BUILD_BENCHMARKS=ON -DJNX_BUILD_TESTS=OFF -DJNX_BUILD_APP=OFF -DJNX_BUILD_WINDOW=OFF \
    -DJNX_FUZZ=OFF
cmake --build "$build" -j "$JOBS" --target settings_file_bench

# Disk flushes vary from moment to moment: repeat with the runs of the benchmarks
# interleaved, and compare the medians.
"$build/bench/settings_file_bench" --benchmark_repetitions=5 \
    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
    "$@" | tee "$build/bench-output.txt"

echo
grep '^ratio ' "$build/bench-output.txt"
