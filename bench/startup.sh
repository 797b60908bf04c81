#!/usr/bin/env bash
# Times the editor's start on a virtual screen against a minimal Qt program's: from the
# start of each to the map of its window, over RUNS alternating runs (30 by default; the
# first argument or STARTUP_RUNS sets it), with the editor's peak memory. Builds them in
# Release into build-bench/. Ends with the ratio of the medians, editor to minimal.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

runs=${1:-${STARTUP_RUNS:-30}}
if ! [[ "$runs" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [RUNS]" >&2
    exit 2
fi

build="$ROOT/build-bench"
# The benchmarks' folder needs Google Benchmark to configure, even for these targets.
ensure_packages g++ cmake ninja-build libbenchmark-dev qt6-base-dev fonts-ipafont-gothic \
    libx11-dev xvfb xauth x11-utils
cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DJNX_BUILD_APP=ON -DJNX_BUILD_WINDOW=ON -DJNX_BUILD_BENCHMARKS=ON \
    -DJNX_BUILD_TESTS=OFF -DJNX_FUZZ=OFF
cmake --build "$build" -j "$JOBS" --target JnxEnv map_timer minimal_window

WORK=$(mktemp -d)
TIMER_PID=
cleanup() {
    # map_timer ends and reaps the program it has started when it is stopped.
    if [ -n "$TIMER_PID" ]; then
        kill "$TIMER_PID" 2>/dev/null || true
        wait "$TIMER_PID" 2>/dev/null || true
    fi
    stop_xvfb
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# The editor reads the Jnx.ini beside it; without one it would open an error box first.
cp "$build/app/JnxEnv" "$ROOT/sample/Jnx.ini" "$build/bench/minimal_window" "$WORK/"
start_xvfb
export QT_QPA_PLATFORM=xcb
# Qt wants a private runtime folder and says so on every start when it has none.
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# In the background, so that a signal to this script is acted on at once.
output="$build/startup-output.txt"
"$build/bench/map_timer" "$runs" "$WORK/JnxEnv" --versus "$WORK/minimal_window" >"$output" &
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
        printf "editor:  median %s ms, peak memory %s MiB\n", value["a", "median_ms"], value["a", "peak_rss_mib"]
        printf "minimal: median %s ms, peak memory %s MiB\n", value["b", "median_ms"], value["b", "peak_rss_mib"]
        printf "ratio editor/minimal: %s (target: at most 1.25)\n", ratio
    }' "$output"
