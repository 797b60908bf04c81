#!/usr/bin/env bash
# The live view's benchmark: builds live_view_bench in Release into build-bench/ and runs it
# on the offscreen platform. Prints the medians of a refresh of the padded sample (read
# once, 36 changed totals shown in the rows) and of a plain load of it, their ratio, and the
# CPU time the window used while idle on the unchanged file.
#
#   bench/live_view.sh [RUNS] [IDLE_SECONDS]
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

build="$ROOT/build-bench"
# The benchmarks' folder needs Google Benchmark to configure, even for this target.
ensure_packages g++ cmake ninja-build libbenchmark-dev qt6-base-dev
cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DJNX_BUILD_APP=OFF -DJNX_BUILD_WINDOW=ON -DJNX_BUILD_BENCHMARKS=ON \
    -DJNX_BUILD_TESTS=OFF -DJNX_FUZZ=OFF
cmake --build "$build" -j "$JOBS" --target live_view_bench
QT_QPA_PLATFORM=offscreen "$build/bench/live_view_bench" "$@"
