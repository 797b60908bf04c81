#!/usr/bin/env bash
# Times JnxEnv.exe's start on Wine against a minimal static Qt program's, both from the
# Windows build (build-win/, made by scripts/windows_test.sh when missing), with the same
# timer as bench/startup.sh: from the start of each to the map of its window on a virtual
# screen, over RUNS alternating runs (10 by default; the first argument or STARTUP_RUNS sets
# it). One Wine server serves every run, so that its own start is not counted. Ends with
# the ratio of the medians and the sizes of the two executables.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

runs=${1:-${STARTUP_RUNS:-10}}
if ! [[ "$runs" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [RUNS]" >&2
    exit 2
fi

WIN_BUILD_DIR=${WIN_BUILD_DIR:-"$ROOT/build-win"}
build="$ROOT/build-bench"
ensure_packages g++ cmake ninja-build libbenchmark-dev qt6-base-dev libx11-dev \
    binutils-mingw-w64-x86-64 "${X_PACKAGES[@]}"
if [ ! -f "$WIN_BUILD_DIR/app/JnxEnv.exe" ] || [ ! -f "$WIN_BUILD_DIR/bench/minimal_window.exe" ]; then
    "$ROOT/scripts/windows_test.sh" --build-only
fi
# The timer is a Linux program.
cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DJNX_BUILD_APP=ON \
    -DJNX_BUILD_WINDOW=ON -DJNX_BUILD_BENCHMARKS=ON -DJNX_BUILD_TESTS=OFF -DJNX_FUZZ=OFF >/dev/null
cmake --build "$build" -j "$JOBS" --target map_timer

WINE_RUN="$ROOT/cmake/wine-run.sh"
WINE_DIR="$WIN_BUILD_DIR/wine-bench"
WORK=$(mktemp -d)
TIMER_PID=
cleanup() {
    if [ -n "$TIMER_PID" ]; then
        kill "$TIMER_PID" 2>/dev/null || true
        wait "$TIMER_PID" 2>/dev/null || true
    fi
    "$WINE_RUN" "$WINE_DIR" --stop >/dev/null 2>&1 || true
    stop_xvfb
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# Stripped, as the release ships them.
x86_64-w64-mingw32-strip -o "$WORK/JnxEnv.exe" "$WIN_BUILD_DIR/app/JnxEnv.exe"
x86_64-w64-mingw32-strip -o "$WORK/minimal_window.exe" "$WIN_BUILD_DIR/bench/minimal_window.exe"
cp "$ROOT/sample/Jnx.ini" "$WORK/"
start_xvfb
export JNX_WINE_DISPLAY=$DISPLAY
"$WINE_RUN" "$WINE_DIR" --start

output="$WIN_BUILD_DIR/startup-wine-output.txt"
"$build/bench/map_timer" "$runs" "$WINE_RUN" "$WINE_DIR" "$WORK/JnxEnv.exe" \
    --versus "$WINE_RUN" "$WINE_DIR" "$WORK/minimal_window.exe" >"$output" &
TIMER_PID=$!
status=0
wait "$TIMER_PID" || status=$?
TIMER_PID=
if [ "$status" -ne 0 ]; then
    exit "$status"
fi
cat "$output"

echo
awk '
    $1 == "result" { for (i = 3; i <= NF; i++) { split($i, kv, "="); value[$2, kv[1]] = kv[2] } }
    $1 == "ratio" { split($3, kv, "="); ratio = kv[2] }
    END {
        printf "JnxEnv.exe on Wine:         median %s ms\n", value["a", "median_ms"]
        printf "minimal_window.exe on Wine: median %s ms\n", value["b", "median_ms"]
        printf "ratio editor/minimal: %s\n", ratio
    }' "$output"
for exe in JnxEnv.exe minimal_window.exe; do
    printf '%s: %s bytes stripped\n' "$exe" "$(stat -c %s "$WORK/$exe")"
done
