# Shared by the project's scripts: installs what a fresh Debian or Ubuntu machine lacks
# and configures the build. Source it; do not run it.

set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-"$ROOT/build"}
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}

# Packages the build and the tests need: the compiler and build tools, GoogleTest and
# Google Benchmark for the model, Qt 6 Widgets for the window and a Japanese font for it.
PACKAGES=(g++ cmake ninja-build make libgtest-dev libbenchmark-dev qt6-base-dev
    fonts-ipafont-gothic)

# What it takes to show the window on a virtual screen and drive it: the end-to-end tests
# read the error box through the clipboard, and read the window as a screen reader does,
# over AT-SPI on a session bus of their own.
X_PACKAGES=(xvfb xauth xdotool xclip x11-utils dbus at-spi2-core python3-pyatspi)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        sudo "$@"
    fi
}

# Installs the given Debian packages that are not installed yet.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi
}

# Starts an X server of the caller's own (Xvfb) and sets DISPLAY and XVFB_PID; stop_xvfb
# ends it. The server's output goes to the file named by the first argument (nowhere by
# default). The display number is picked at random from a wide range, so that servers
# started side by side, or one after another, never meet on one number (a server that
# has just stopped may still be removing its files). The server is ready when the
# display's lock file names it and it answers; one that exits or does not answer within
# ten seconds is stopped and another number tried, five times at most. It must not reset
# when its last client leaves: the check that it answers is such a client, and a reset
# would refuse the next connection.
start_xvfb() {
    local log=${1:-/dev/null}
    local attempt display tries
    for attempt in 1 2 3 4 5; do
        display=$((100 + RANDOM % 30000))
        if [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; then
            continue
        fi
        Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp -noreset >"$log" 2>&1 &
        XVFB_PID=$!
        export DISPLAY=":$display"
        tries=0
        until xvfb_ready "$display"; do
            if ! kill -0 "$XVFB_PID" 2>/dev/null || [ "$tries" -ge 200 ]; then
                break
            fi
            tries=$((tries + 1))
            sleep 0.05
        done
        if xvfb_ready "$display"; then
            return 0
        fi
        stop_xvfb
        echo "attempt $attempt: no X server on :$display" >&2
    done
    echo "no X server would start" >&2
    return 1
}

# Whether the server started last holds the display (another one, unseen by the check of
# the lock files, may answer on the number) and answers.
xvfb_ready() {
    local holder=
    kill -0 "$XVFB_PID" 2>/dev/null || return 1
    read -r holder 2>/dev/null <"/tmp/.X$1-lock" || return 1
    [ "$holder" = "$XVFB_PID" ] || return 1
    xdpyinfo >/dev/null 2>&1
}

stop_xvfb() {
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=
    fi
}

configure() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
}
