#!/usr/bin/env bash
# Photographs the editor window showing the sample settings file on a virtual screen, and
# then its folder chooser, the pictures in docs/ that the README and the guides show:
#
#   scripts/picture.sh           docs/window.png and docs/folder_dialog.png
#   scripts/picture.sh --wine    docs/window-wine.png and docs/folder_dialog-wine.png, of
#                                JnxEnv.exe on Wine, from the Windows build (build-win/,
#                                made by scripts/windows_test.sh when missing)
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

wine=false
suffix=
if [ "${1:-}" = --wine ]; then
    wine=true
    suffix=-wine
fi
WIN_BUILD_DIR=${WIN_BUILD_DIR:-"$ROOT/build-win"}
WINE_RUN="$ROOT/cmake/wine-run.sh"
WINE_DIR="$WIN_BUILD_DIR/wine-picture"

ensure_packages "${PACKAGES[@]}" "${X_PACKAGES[@]}" imagemagick
if $wine; then
    if [ ! -f "$WIN_BUILD_DIR/app/JnxEnv.exe" ]; then
        "$ROOT/scripts/windows_test.sh" --build-only
    fi
else
    configure
    cmake --build "$BUILD_DIR" -j "$JOBS" --target JnxEnv
fi

WORK=$(mktemp -d)
APP_PID=
cleanup() {
    if [ -n "$APP_PID" ]; then
        kill "$APP_PID" 2>/dev/null || true
        wait "$APP_PID" 2>/dev/null || true
    fi
    if $wine; then
        "$WINE_RUN" "$WINE_DIR" --stop >/dev/null 2>&1 || true
    fi
    stop_xvfb
    rm -rf "$WORK"
}
trap cleanup EXIT

# The program reads the Jnx.ini beside it; give it a copy of the sample there.
cp "$ROOT/sample/Jnx.ini" "$WORK/"
if $wine; then
    cp "$WIN_BUILD_DIR/app/JnxEnv.exe" "$WORK/"
    start=("$WINE_RUN" "$WINE_DIR" "$WORK/JnxEnv.exe")
else
    cp "$BUILD_DIR/app/JnxEnv" "$WORK/"
    start=("$WORK/JnxEnv")
fi
# The sample's folders are Windows paths, so the chooser opens in the current directory:
# a small folder tree of the betting tool's.
DATA="$WORK/JnxData"
mkdir -p "$DATA/自動読込" "$DATA/PAT" "$DATA/履歴/2026"
touch "$DATA/Jnx.log" "$DATA/odds.csv" "$DATA/race.txt"
start_xvfb
export JNX_WINE_DISPLAY=$DISPLAY  # Wine's runner shows windows only on the display it is given
(cd "$DATA" && exec "${start[@]}") >/dev/null 2>&1 &
APP_PID=$!
# Wine takes longer to start, and to paint.
WINDOW=$(timeout 60 xdotool search --sync --onlyvisible --name 'Jnx\.ini' | head -n 1)
sleep 2  # let it paint
mkdir -p "$ROOT/docs"
import -window "$WINDOW" "$ROOT/docs/window$suffix.png"
echo "Wrote $ROOT/docs/window$suffix.png"

# "参照" of the auto-read folder, at its place below the menu bar.
MENU_BAR=$(($(xdotool getwindowgeometry --shell "$WINDOW" | sed -n 's/^HEIGHT=//p') - 527))
xdotool windowfocus --sync "$WINDOW"
xdotool mousemove --sync --window "$WINDOW" 668 $((450 + MENU_BAR)) click 1
DIALOG=$(timeout 20 xdotool search --sync --onlyvisible --name 'ディレクトリの選択' | head -n 1)
sleep 2
import -window "$DIALOG" "$ROOT/docs/folder_dialog$suffix.png"
echo "Wrote $ROOT/docs/folder_dialog$suffix.png"
