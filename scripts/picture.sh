#!/usr/bin/env bash
# Photographs the editor window showing the sample settings file on a virtual screen and
# saves it as docs/window.png, the picture in the README.
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
start_xvfb
"$WORK/JnxEnv" >/dev/null 2>&1 &
APP_PID=$!
WINDOW=$(timeout 20 xdotool search --sync --name 'Jnx\.ini' | head -n 1)
sleep 1  # let it paint
mkdir -p "$ROOT/docs"
import -window "$WINDOW" "$ROOT/docs/window.png"
echo "Wrote $ROOT/docs/window.png"
