#!/usr/bin/env bash
# Photographs the editor window showing the sample settings file on a virtual screen, and
# then its folder chooser, as docs/window.png and docs/folder_dialog.png, the pictures in
# the README.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${PACKAGES[@]}" "${X_PACKAGES[@]}" imagemagick
configure
cmake --build "$BUILD_DIR" -j "$JOBS" --target JnxEnv

WORK=$(mktemp -d)
APP_PID=
cleanup() {
    if [ -n "$APP_PID" ]; then
        kill "$APP_PID" 2>/dev/null || true
        wait "$APP_PID" 2>/dev/null || true
    fi
    stop_xvfb
    rm -rf "$WORK"
}
trap cleanup EXIT

# The program reads the Jnx.ini beside it; give it a copy of the sample there.
cp "$BUILD_DIR/app/JnxEnv" "$ROOT/sample/Jnx.ini" "$WORK/"
# The sample's folders are Windows paths, so the chooser opens in the current directory:
# a small folder tree of the betting tool's.
DATA="$WORK/JnxData"
mkdir -p "$DATA/自動読込" "$DATA/PAT" "$DATA/履歴/2026"
touch "$DATA/Jnx.log" "$DATA/odds.csv" "$DATA/race.txt"
start_xvfb
(cd "$DATA" && exec "$WORK/JnxEnv") >/dev/null 2>&1 &
APP_PID=$!
WINDOW=$(timeout 20 xdotool search --sync --onlyvisible --name 'Jnx\.ini' | head -n 1)
sleep 1  # let it paint
mkdir -p "$ROOT/docs"
import -window "$WINDOW" "$ROOT/docs/window.png"
echo "Wrote $ROOT/docs/window.png"

# "参照" of the auto-read folder, at its place below the menu bar.
MENU_BAR=$(($(xdotool getwindowgeometry --shell "$WINDOW" | sed -n 's/^HEIGHT=//p') - 527))
xdotool mousemove --sync --window "$WINDOW" 668 $((450 + MENU_BAR)) click 1
DIALOG=$(timeout 20 xdotool search --sync --onlyvisible --name 'ディレクトリの選択' | head -n 1)
sleep 1
import -window "$DIALOG" "$ROOT/docs/folder_dialog.png"
echo "Wrote $ROOT/docs/folder_dialog.png"
