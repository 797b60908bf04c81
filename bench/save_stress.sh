#!/usr/bin/env bash
# Saves beside a tool that keeps rewriting Jnx.ini in place: 200 saves while the tool
# rewrites the file every 30 ms, first in one write, then in pieces of 4 KB. Each run
# reports the half-written files a save kept (must be 0), the tool's writes a save undid,
# the saves that gave up and how long the saves took.
#
#   bench/save_stress.sh [SAVES] [TOOL PERIOD IN MS]
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

build="$ROOT/build-bench"
ensure_packages g++ cmake ninja-build libbenchmark-dev
cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DJNX_BUILD_APP=OFF \
    -DJNX_BUILD_WINDOW=OFF -DJNX_BUILD_BENCHMARKS=ON -DJNX_BUILD_TESTS=OFF -DJNX_FUZZ=OFF >/dev/null
cmake --build "$build" -j "$JOBS" --target save_stress >/dev/null
status=0
"$build/bench/save_stress" "$@" || status=1
echo
"$build/bench/save_stress" --pieces "$@" || status=1
exit $status
