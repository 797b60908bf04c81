#!/usr/bin/env bash
# Photographs JnxEnv.exe on Wine showing the sample settings file, and then its folder
# chooser, as docs/window-wine.png and docs/folder_dialog-wine.png. Takes the program from
# the Windows build (build-win/), building it first when it is not there.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

WIN_BUILD_DIR=${WIN_BUILD_DIR:-"$ROOT/build-win"}
ensure_packages "${X_PACKAGES[@]}" imagemagick
if [ ! -f "$WIN_BUILD_DIR/app/JnxEnv.exe" ]; then
    "$ROOT/scripts/windows_test.sh" --build-only
fi

WINE_RUN="$ROOT/cmake/wine-run.sh"
WINE_DIR="$WIN_BUILD_DIR/wine-picture"
WORK=$(mktemp -d)
APP_PID=
cleanup() {
    if [ -n "$APP_PID" ]; then
        kill "$APP_PID" 2>/dev/null || true
        wait "$APP_PID" 2>/dev/null || true
    fi
    "$WINE_RUN" "$WINE_DIR" --stop >/dev/null 2>&1 || true
    stop_xvfb
    rm -rf "$WORK"
}
trap cleanup EXIT

cp "$WIN_BUILD_DIR/app/JnxEnv.exe" "$ROOT/sample/Jnx.ini" "$WORK/"
# The chooser opens in the current folder: a small folder tree of the betting tool's.
DATA="$WORK/JnxData"
mkdir -p "$DATA/自動読込" "$DATA/PAT" "$DATA/履歴/2026"
touch "$DATA/Jnx.log" "$DATA/odds.csv" "$DATA/race.txt"
start_xvfb
export JNX_WINE_DISPLAY=$DISPLAY
(cd "$DATA" && exec "$WINE_RUN" "$WINE_DIR" "$WORK/JnxEnv.exe") >/dev/null 2>&1 &
APP_PID=$!
WINDOW=$(timeout 60 xdotool search --sync --onlyvisible --name 'Jnx\.ini' | head -n 1)
sleep 2  # let it paint
mkdir -p "$ROOT/docs"
import -window "$WINDOW" "$ROOT/docs/window-wine.png"
echo "Wrote $ROOT/docs/window-wine.png"

MENU_BAR=$(($(xdotool getwindowgeometry --shell "$WINDOW" | sed -n 's/^HEIGHT=//p') - 527))
xdotool windowfocus --sync "$WINDOW"
xdotool mousemove --sync --window "$WINDOW" 668 $((450 + MENU_BAR)) click 1
DIALOG=$(timeout 20 xdotool search --sync --onlyvisible --name 'ディレクトリの選択' | head -n 1)
sleep 2
import -window "$DIALOG" "$ROOT/docs/folder_dialog-wine.png"
echo "Wrote $ROOT/docs/folder_dialog-wine.png"
