#!/usr/bin/env bash
# Saves beside a tool that keeps rewriting Jnx.ini in place: SAVES saves (300 by default)
# while the tool rewrites the file every TOOL PERIOD (30 ms by default), once for each way
# the tool writes: in one write; in pieces of 4 KB; in pieces with one write in ten stalled
# after emptying the file; the same stalled after the first 4 KB; and through a descriptor
# held open from the read to the write. Each run reports the half-written files a save
# kept and the tool saw, the tool's writes a save undid, the user's edits lost, the saves
# that gave up and how long the saves took. Exits non-zero when any run kept a half-written
# file or undid a tool write.
#
#   bench/save_stress.sh [SAVES] [TOOL PERIOD IN MS]
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

saves=${1:-300}
period=${2:-30}

build="$ROOT/build-bench"
ensure_packages g++ cmake ninja-build libbenchmark-dev
cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DJNX_BUILD_APP=OFF \
    -DJNX_BUILD_WINDOW=OFF -DJNX_BUILD_BENCHMARKS=ON -DJNX_BUILD_TESTS=OFF -DJNX_FUZZ=OFF >/dev/null
cmake --build "$build" -j "$JOBS" --target save_stress >/dev/null

failed=()
for mode in "" --pieces --pause-after-empty --pause-after-4k --hold-open; do
    [ -z "$mode" ] || echo
    # An empty mode is the tool's plain single write.
    if ! "$build/bench/save_stress" ${mode:+"$mode"} "$saves" "$period"; then
        failed+=("${mode:-one write}")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo
    echo "Half-written files kept or tool writes undone: ${failed[*]}" >&2
    exit 1
fi
