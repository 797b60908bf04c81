#!/usr/bin/env bash
# Times the editor's start on a virtual screen against a minimal Qt program's: from the
# start of each to the map of its window, over RUNS alternating runs (30 by default, 10 on
# Wine; the RUNS argument or STARTUP_RUNS sets it), with each program's peak memory. Ends
# with the ratio of the medians, editor to minimal.
#
#   bench/startup.sh [--wine] [RUNS]
#
# Without --wine both are built in Release into build-bench/. With --wine JnxEnv.exe and
# minimal_window.exe come from the Windows build (build-win/, made by
# scripts/windows_test.sh when missing), stripped as the release ships them, and run on
# Wine; one Wine server serves every run, so that its own start is not counted. The timer
# is a Linux program either way.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

wine=false
if [ "${1:-}" = --wine ]; then
    wine=true
    shift
fi
default_runs=30
if $wine; then
    default_runs=10
fi
runs=${1:-${STARTUP_RUNS:-$default_runs}}
if ! [[ "$runs" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [--wine] [RUNS]" >&2
    exit 2
fi

build="$ROOT/build-bench"
WIN_BUILD_DIR=${WIN_BUILD_DIR:-"$ROOT/build-win"}
WINE_RUN="$ROOT/cmake/wine-run.sh"
WINE_DIR="$WIN_BUILD_DIR/wine-bench"
# The benchmarks' folder needs Google Benchmark to configure, even for these targets.
ensure_packages g++ cmake ninja-build libbenchmark-dev qt6-base-dev fonts-ipafont-gothic \
    libx11-dev "${X_PACKAGES[@]}"
cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DJNX_BUILD_APP=ON -DJNX_BUILD_WINDOW=ON -DJNX_BUILD_BENCHMARKS=ON \
    -DJNX_BUILD_TESTS=OFF -DJNX_FUZZ=OFF
if $wine; then
    ensure_packages binutils-mingw-w64-x86-64
    if [ ! -f "$WIN_BUILD_DIR/app/JnxEnv.exe" ] ||
        [ ! -f "$WIN_BUILD_DIR/bench/minimal_window.exe" ]; then
        "$ROOT/scripts/windows_test.sh" --build-only
    fi
    cmake --build "$build" -j "$JOBS" --target map_timer
else
    cmake --build "$build" -j "$JOBS" --target JnxEnv map_timer minimal_window
fi

WORK=$(mktemp -d)
TIMER_PID=
cleanup() {
    # map_timer ends and reaps the program it has started when it is stopped.
    if [ -n "$TIMER_PID" ]; then
        kill "$TIMER_PID" 2>/dev/null || true
        wait "$TIMER_PID" 2>/dev/null || true
    fi
    if $wine; then
        "$WINE_RUN" "$WINE_DIR" --stop >/dev/null 2>&1 || true
    fi
    stop_xvfb
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# The editor reads the Jnx.ini beside it; without one it would open an error box first.
cp "$ROOT/sample/Jnx.ini" "$WORK/"
start_xvfb
if $wine; then
    for program in app/JnxEnv bench/minimal_window; do
        x86_64-w64-mingw32-strip -o "$WORK/$(basename "$program").exe" \
            "$WIN_BUILD_DIR/$program.exe"
    done
    export JNX_WINE_DISPLAY=$DISPLAY
    "$WINE_RUN" "$WINE_DIR" --start
    editor=("$WINE_RUN" "$WINE_DIR" "$WORK/JnxEnv.exe")
    minimal=("$WINE_RUN" "$WINE_DIR" "$WORK/minimal_window.exe")
    output="$WIN_BUILD_DIR/startup-wine-output.txt"
else
    cp "$build/app/JnxEnv" "$build/bench/minimal_window" "$WORK/"
    export QT_QPA_PLATFORM=xcb
    # Qt wants a private runtime folder and says so on every start when it has none.
    export XDG_RUNTIME_DIR="$WORK/runtime"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    editor=("$WORK/JnxEnv")
    minimal=("$WORK/minimal_window")
    output="$build/startup-output.txt"
fi

# In the background, so that a signal to this script is acted on at once.
"$build/bench/map_timer" "$runs" "${editor[@]}" --versus "${minimal[@]}" >"$output" &
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
if $wine; then
    for exe in JnxEnv.exe minimal_window.exe; do
        printf '%s: %s bytes stripped\n' "$exe" "$(stat -c %s "$WORK/$exe")"
    done
fi
