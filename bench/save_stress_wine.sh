#!/usr/bin/env bash
# Saves on Wine, in code page 932, beside a program that keeps writing Jnx.ini through
# WritePrivateProfileStringA, as the betting tool does (bench/save_stress_win.cpp and its
# tool, bench/profile_tool_win.cpp): SAVES saves (40 by default) for each tool period given
# (30, 50 and 100 ms by default), in a folder named ソ表, whose characters end in the byte
# of "\". Each run reports the tool's writes a save undid, the tool's writes refused, the
# user's edits lost, the saves that gave up and how long the saves took. Exits non-zero
# when any run undid a tool write or lost an edit.
#
#   bench/save_stress_wine.sh [SAVES] [TOOL PERIOD IN MS...]
#
# The programs come from the Windows build (build-win/, or WIN_BUILD_DIR), made by
# scripts/windows_test.sh when it is not there yet; the Wine prefix is its wine-bench/.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

saves=${1:-40}
shift || true
periods=("$@")
[ ${#periods[@]} -gt 0 ] || periods=(30 50 100)
for number in "$saves" "${periods[@]}"; do
    if ! [[ "$number" =~ ^[0-9]+$ ]]; then
        echo "usage: $0 [SAVES] [TOOL PERIOD IN MS...]" >&2
        exit 2
    fi
done

WIN_BUILD_DIR=${WIN_BUILD_DIR:-"$ROOT/build-win"}
WINE_RUN="$ROOT/cmake/wine-run.sh"
WINE_DIR="$WIN_BUILD_DIR/wine-bench"
if [ -f "$WIN_BUILD_DIR/build.ninja" ]; then
    cmake --build "$WIN_BUILD_DIR" -j "$JOBS" --target save_stress_win profile_tool >/dev/null
else
    "$ROOT/scripts/windows_test.sh" --build-only
fi

WORK=$(mktemp -d)
cleanup() {
    "$WINE_RUN" "$WINE_DIR" --stop >/dev/null 2>&1 || true
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# The programs beside each other, as the driver starts the tool from its own folder.
cp "$WIN_BUILD_DIR/bench/save_stress_win.exe" "$WIN_BUILD_DIR/bench/profile_tool.exe" "$WORK/"
"$WINE_RUN" "$WINE_DIR" --start

failed=()
first=true
for period in "${periods[@]}"; do
    $first || echo
    first=false
    folder="$WORK/ソ表-$period"
    mkdir "$folder"
    if ! "$WINE_RUN" "$WINE_DIR" "$WORK/save_stress_win.exe" "$saves" "$period" \
        "Z:${folder//\//\\}"; then
        failed+=("$period ms")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo
    echo "Tool writes undone or edits lost: ${failed[*]}" >&2
    exit 1
fi
