#!/usr/bin/env bash
# The live view's benchmark: a refresh of the sample padded to about 1 MB (read once, 36
# changed totals shown in the rows) against a plain load of it, their ratio, and the CPU
# time the window used while idle on the unchanged file.
#
#   bench/live_view.sh [--wine] [RUNS] [IDLE_SECONDS]
#
# Without --wine live_view_bench is built in Release into build-bench/ and runs on the
# offscreen platform. With --wine live_view_bench.exe comes from the Windows build
# (build-win/, made by scripts/windows_test.sh when missing) and runs on Wine, on an Xvfb
# screen of its own (the static Qt has the windows platform only).
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

wine=false
if [ "${1:-}" = --wine ]; then
    wine=true
    shift
fi

if ! $wine; then
    build="$ROOT/build-bench"
    # The benchmarks' folder needs Google Benchmark to configure, even for this target.
    ensure_packages g++ cmake ninja-build libbenchmark-dev qt6-base-dev
    cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DJNX_BUILD_APP=OFF -DJNX_BUILD_WINDOW=ON -DJNX_BUILD_BENCHMARKS=ON \
        -DJNX_BUILD_TESTS=OFF -DJNX_FUZZ=OFF
    cmake --build "$build" -j "$JOBS" --target live_view_bench
    QT_QPA_PLATFORM=offscreen exec "$build/bench/live_view_bench" "$@"
fi

WIN_BUILD_DIR=${WIN_BUILD_DIR:-"$ROOT/build-win"}
WINE_RUN="$ROOT/cmake/wine-run.sh"
WINE_DIR="$WIN_BUILD_DIR/wine-bench"
program="$WIN_BUILD_DIR/bench/live_view_bench.exe"
if [ ! -f "$program" ]; then
    "$ROOT/scripts/windows_test.sh" --build-only
fi
ensure_packages "${X_PACKAGES[@]}"
start_xvfb "$WIN_BUILD_DIR/live-view-xvfb.log" || {
    echo "no X server would start" >&2
    exit 1
}
trap '"$WINE_RUN" "$WINE_DIR" --stop >/dev/null 2>&1 || true; stop_xvfb' EXIT
export JNX_WINE_DISPLAY=$DISPLAY
"$WINE_RUN" "$WINE_DIR" "$program" "$@"
