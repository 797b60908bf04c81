#!/usr/bin/env bash
# The real editor as a screen reader reads it: the program on an X server of the test's own
# (Xvfb), on a session bus of its own (dbus-run-session) that starts the accessibility bus
# (at-spi2-core), and its tree read over AT-SPI (pyatspi) by accessible_tree.py. Every text
# box, check box, list and button must have a name, the rows' names must follow a change of
# page made through the page button's accessible action, and a value the window takes from
# the file must be reported as the box's text changing.
#
#   accessibility_e2e.sh EXECUTABLE SETTINGS_FILE
#
# Every process the test starts is stopped by its id when it ends, whatever happens.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"

# pyatspi comes with the system's Python, whatever python3 the PATH finds first.
python=/usr/bin/python3
for tool in Xvfb dbus-run-session "$python"; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is missing: the README's test command installs it" >&2
        exit 1
    fi
done
if ! "$python" -c 'import pyatspi' 2>/dev/null; then
    echo "pyatspi is missing: the README's test command installs it" >&2
    exit 1
fi

# A session bus of the test's own, and with it an accessibility bus of its own.
if [ -z "${JNX_OWN_SESSION_BUS:-}" ]; then
    unset AT_SPI_BUS_ADDRESS DBUS_SESSION_BUS_ADDRESS
    exec env JNX_OWN_SESSION_BUS=1 dbus-run-session -- bash "${BASH_SOURCE[0]}" "$@"
fi

executable=$1
sample=$2
program=$(basename "$executable")

scratch=$(mktemp -d)
folder="$scratch/editor"
mkdir "$folder"
cp "$executable" "$folder/$program"
cp "$sample" "$folder/Jnx.ini"

XVFB_PID=
APP_PID=
finish() {
    local status=$?
    if [ -n "$APP_PID" ]; then
        kill "$APP_PID" 2>/dev/null || true
        wait "$APP_PID" 2>/dev/null || true
    fi
    stop_xvfb
    rm -rf "$scratch"
    exit "$status"
}
trap finish EXIT

start_xvfb "$scratch/xvfb.log" || { echo "no X server would start" >&2; exit 1; }
(cd "$folder" && QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec "$folder/$program") \
    >"$scratch/editor.log" 2>&1 &
APP_PID=$!

"$python" "$(dirname "${BASH_SOURCE[0]}")/accessible_tree.py" "$program" check "$folder/Jnx.ini"
