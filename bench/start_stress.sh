#!/usr/bin/env bash
# Starts of the editor while the betting tool rewrites its Jnx.ini in place. For each of
# the tool's ways of writing (bench/start_tool.cpp: "whole", "pieces" and "pause"), the
# real editor is started STARTS times (50 by default; START_STRESS_STARTS sets it too) on a
# virtual screen, beside a copy of the sample that the tool keeps rewriting. Each start is
# watched until the main window or an error box maps (10 s at most), and for a moment more
# after the window (START_STRESS_WATCH_MS, 300 by default), so that a box the first
# refresh opens is counted too; the box's text is read through the clipboard; then the
# editor is ended. Per mode it prints the starts, the error boxes and their texts, the
# starts that ended by themselves or showed nothing, the median time to the first map, and
# whether the file holds the tool's bytes once the tool has stopped (a start must not
# write it).
#
#   bench/start_stress.sh [--wine] [STARTS]
#
# With --wine, JnxEnv.exe of the Windows build (build-win/, or WIN_BUILD_DIR; made by
# scripts/windows_test.sh when missing) starts on Wine in code page 932, in a folder named
# ソ表, beside the tool's Windows stand-in (bench/profile_tool_win.cpp), which writes
# [Main] LastRun through WritePrivateProfileStringA: as fast as it can ("fast"), every 100 ms
# ("100ms") and every second ("1s"). The file then holds the tool's last number, and counts
# as intact when all else in it is the sample's (Wine's profile functions drop its blank
# lines).
#
# Exits 1 when any start showed an error box, ended by itself or showed nothing, or the
# file was changed; every start is listed in build-bench/start-stress-output.txt (with
# --wine, start-stress-wine-output.txt in the Windows build).
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

wine=false
if [ "${1:-}" = --wine ]; then
    wine=true
    shift
fi
starts=${1:-${START_STRESS_STARTS:-50}}
watch_ms=${START_STRESS_WATCH_MS:-300}
if ! [[ "$starts" =~ ^[1-9][0-9]*$ ]] || ! [[ "$watch_ms" =~ ^[0-9]+$ ]]; then
    echo "usage: $0 [--wine] [STARTS]" >&2
    exit 2
fi
if $wine; then
    readonly MODES=(fast 100ms 1s)
    # Wine takes a moment more to show a window.
    readonly MAP_TIMEOUT_MS=20000
else
    readonly MODES=(whole pieces pause)
    readonly MAP_TIMEOUT_MS=10000
fi
readonly POLL_SECONDS=0.01

build="$ROOT/build-bench"
WIN_BUILD_DIR=${WIN_BUILD_DIR:-"$ROOT/build-win"}
WINE_RUN="$ROOT/cmake/wine-run.sh"
WINE_DIR="$WIN_BUILD_DIR/wine-bench"
# Quiet unless it fails.
quietly() {
    local log
    if ! log=$("$@" 2>&1); then
        printf '%s\n' "$log" >&2
        exit 1
    fi
}
if $wine; then
    ensure_packages "${X_PACKAGES[@]}"
    if [ -f "$WIN_BUILD_DIR/build.ninja" ]; then
        quietly cmake --build "$WIN_BUILD_DIR" -j "$JOBS" --target JnxEnv profile_tool
    else
        "$ROOT/scripts/windows_test.sh" --build-only
    fi
else
    # The benchmarks' folder needs Google Benchmark to configure, even for these targets.
    ensure_packages g++ cmake ninja-build libbenchmark-dev qt6-base-dev fonts-ipafont-gothic \
        "${X_PACKAGES[@]}"
    quietly cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DJNX_BUILD_APP=ON -DJNX_BUILD_WINDOW=ON -DJNX_BUILD_BENCHMARKS=ON \
        -DJNX_BUILD_TESTS=OFF -DJNX_FUZZ=OFF
    quietly cmake --build "$build" -j "$JOBS" --target JnxEnv start_tool
fi

WORK=$(mktemp -d)
if $wine; then
    folder="$WORK/ソ表"
    output="$WIN_BUILD_DIR/start-stress-wine-output.txt"
else
    folder="$WORK/editor"  # the editor's folder: the executable and its Jnx.ini
    output="$build/start-stress-output.txt"
fi
settings="$folder/Jnx.ini"
APP_PID=
TOOL_PID=
cleanup() {
    if [ -n "$APP_PID" ]; then
        kill -KILL "$APP_PID" 2>/dev/null || true
        wait "$APP_PID" 2>/dev/null || true
    fi
    if [ -n "$TOOL_PID" ]; then
        if $wine; then
            : >"$WORK/stop"
        else
            kill "$TOOL_PID" 2>/dev/null || true
        fi
        wait "$TOOL_PID" 2>/dev/null || true
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

mkdir "$folder"
start_xvfb
if $wine; then
    cp "$WIN_BUILD_DIR/app/JnxEnv.exe" "$folder/"
    cp "$WIN_BUILD_DIR/bench/profile_tool.exe" "$WORK/"
    export JNX_WINE_DISPLAY=$DISPLAY
    "$WINE_RUN" "$WINE_DIR" --start
    program=("$WINE_RUN" "$WINE_DIR" "$folder/JnxEnv.exe")
else
    cp "$build/app/JnxEnv" "$folder/"
    export QT_QPA_PLATFORM=xcb
    # Qt wants a private runtime folder and says so on every start when it has none.
    export XDG_RUNTIME_DIR="$WORK/runtime"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    program=(./JnxEnv)
fi

# A path as Wine's programs take it: every Unix path is on drive Z:.
windows_path() { printf 'Z:%s\n' "${1//\//\\}"; }

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# The editor's visible windows, one "ID NAME" line each. Wine's windows are found by name:
# the screen is this script's own, and the editor the only program on it with windows.
editor_windows() {
    local id ids
    if $wine; then
        ids=$(xdotool search --onlyvisible --name '.' 2>/dev/null || true)
    else
        ids=$(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null || true)
    fi
    for id in $ids; do
        printf '%s %s\n' "$id" "$(xdotool getwindowname "$id" 2>/dev/null)"
    done
}

# The error box's caption is the program's name, "Jnxenv"; the main window's names the file.
error_box() { awk '$2 == "Jnxenv" && NF == 2 { print $1; exit }' <<<"$1"; }
main_window() { awk 'index($0, "Jnx.ini") { print $1; exit }' <<<"$1"; }

# The text of the error box: Ctrl+C copies caption, message and button between rules; the
# clipboard holds a marker first, so that a copy that did not happen is not taken for one.
box_text() {
    local marker="(nothing copied)" copied tries=0
    printf '%s' "$marker" | xclip -selection clipboard >/dev/null 2>&1
    if xdotool windowfocus --sync "$1" 2>/dev/null && xdotool key ctrl+c 2>/dev/null; then
        while [ "$tries" -lt 40 ]; do
            copied=$(timeout 2 xclip -o -selection clipboard 2>/dev/null) || copied=$marker
            if [ "$copied" != "$marker" ]; then
                awk 'NR > 3 && /^-+$/ { exit } NR > 3 { printf "%s%s", (n++ ? " / " : ""), $0 }' \
                    <<<"$copied"
                return
            fi
            tries=$((tries + 1))
            sleep 0.05
        done
    fi
    printf '(text not read)'
}

# Ends the editor: SIGTERM, SIGKILL after two seconds.
end_editor() {
    local tries=0
    kill -TERM "$APP_PID" 2>/dev/null || true
    while kill -0 "$APP_PID" 2>/dev/null && [ "$tries" -lt 200 ]; do
        tries=$((tries + 1))
        sleep 0.01
    done
    kill -KILL "$APP_PID" 2>/dev/null || true
    wait "$APP_PID" 2>/dev/null || true
    APP_PID=
}

# One start. Sets OUTCOME (window, box, ended or nothing), START_MS (to the first map) and
# TEXT (the error box's).
one_start() {
    local began windows box window deadline watch_end=
    OUTCOME=nothing
    START_MS=''
    TEXT=''
    began=$(now_ms)
    (cd "$folder" && exec "${program[@]}") >>"$WORK/editor.log" 2>&1 &
    APP_PID=$!
    deadline=$((began + MAP_TIMEOUT_MS))
    while :; do
        if ! kill -0 "$APP_PID" 2>/dev/null; then
            [ "$OUTCOME" = window ] || OUTCOME=ended
            break
        fi
        windows=$(editor_windows)
        box=$(error_box "$windows")
        if [ -n "$box" ]; then
            [ -n "$START_MS" ] || START_MS=$(($(now_ms) - began))
            OUTCOME=box
            TEXT=$(box_text "$box")
            break
        fi
        window=$(main_window "$windows")
        if [ -n "$window" ] && [ -z "$watch_end" ]; then
            START_MS=$(($(now_ms) - began))
            OUTCOME=window
            watch_end=$(($(now_ms) + watch_ms))
        fi
        if [ -n "$watch_end" ]; then
            [ "$(now_ms)" -lt "$watch_end" ] || break
        elif [ "$(now_ms)" -ge "$deadline" ]; then
            break
        fi
        sleep "$POLL_SECONDS"
    done
    end_editor
}

median() {
    sort -n | awk '{ v[NR] = $1 } END {
        if (NR == 0) { print "-"; exit }
        print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

: >"$output"
# One start untimed and without the tool, to fill the file and font caches; it must show
# the window alone, or the counts below would mean nothing.
cp "$ROOT/sample/Jnx.ini" "$settings"
one_start
if [ "$OUTCOME" != window ]; then
    echo "the editor does not start cleanly on the untouched sample ($OUTCOME${TEXT:+: $TEXT})" >&2
    tail -n 20 "$WORK/editor.log" >&2 || true
    exit 1
fi

# Starts the tool's stand-in in MODE.
start_tool() {
    if $wine; then
        local period
        case "$1" in
        fast) period=0 ;;
        100ms) period=100 ;;
        1s) period=1000 ;;
        esac
        rm -f "$WORK/stop"
        "$WINE_RUN" "$WINE_DIR" "$WORK/profile_tool.exe" "$(windows_path "$settings")" "$period" \
            "$(windows_path "$WORK/stop")" >"$WORK/tool.out" 2>&1 &
        TOOL_PID=$!
        # Until it has written once.
        local tries=0
        until grep -aq '^LastRun=[0-9]' "$settings" || [ "$tries" -ge 500 ]; do
            tries=$((tries + 1))
            sleep 0.02
        done
    else
        "$build/bench/start_tool" "$1" "$settings" >"$WORK/tool.out" 2>&1 &
        TOOL_PID=$!
        sleep 0.1
    fi
}

# Stops the tool's stand-in after the write under way; gives its exit status.
stop_tool() {
    local tool_status=0
    if $wine; then
        : >"$WORK/stop"
    else
        kill -TERM "$TOOL_PID" 2>/dev/null || true
    fi
    wait "$TOOL_PID" || tool_status=$?
    TOOL_PID=
    return "$tool_status"
}

# Whether the file holds the sample's bytes (on Wine: the sample's lines but [Main] LastRun,
# without blank lines).
file_intact() {
    if $wine; then
        cmp -s <(grep -a -v -e '^LastRun=' -e $'^\r$' "$ROOT/sample/Jnx.ini") \
            <(grep -a -v -e '^LastRun=' -e $'^\r$' "$settings")
    else
        cmp -s "$ROOT/sample/Jnx.ini" "$settings"
    fi
}

status=0
for mode in "${MODES[@]}"; do
    cp "$ROOT/sample/Jnx.ini" "$settings"
    start_tool "$mode"
    boxes=0 ended=0 nothing=0
    : >"$WORK/times"
    : >"$WORK/texts"
    for ((n = 1; n <= starts; n++)); do
        one_start
        printf '%s %d %s %s %s\n' "$mode" "$n" "$OUTCOME" "${START_MS:--}" "$TEXT" >>"$output"
        [ -z "$START_MS" ] || echo "$START_MS" >>"$WORK/times"
        case "$OUTCOME" in
        box)
            boxes=$((boxes + 1))
            echo "$TEXT" >>"$WORK/texts"
            ;;
        ended) ended=$((ended + 1)) ;;
        nothing) nothing=$((nothing + 1)) ;;
        esac
    done
    tool_status=0
    stop_tool || tool_status=$?
    if [ "$tool_status" -ne 0 ]; then
        echo "$mode: the tool failed (status $tool_status): $(cat "$WORK/tool.out")" >&2
        status=1
    fi
    intact=yes
    file_intact || intact=no

    printf '%-6s  starts %d, error boxes %d, ended %d, no window %d, median start %s ms, file intact %s (tool: %s)\n' \
        "$mode" "$starts" "$boxes" "$ended" "$nothing" "$(median <"$WORK/times")" "$intact" \
        "$(tr -d '\n' <"$WORK/tool.out")"
    if [ -s "$WORK/texts" ]; then
        sort "$WORK/texts" | uniq -c | sed 's/^ */        /'
    fi
    if [ "$boxes" -gt 0 ] || [ "$ended" -gt 0 ] || [ "$nothing" -gt 0 ] || [ "$intact" = no ]; then
        status=1
    fi
done
exit $status
