#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the whole suite (the
# end-to-end scenarios start their own X servers), then the model's and the window's
# tests (the fuzz targets' corpus replays among the model's) again under AddressSanitizer
# and UndefinedBehaviorSanitizer. Both builds treat compiler warnings as errors.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${PACKAGES[@]}" "${X_PACKAGES[@]}"
configure -DJNX_WERROR=ON
cmake --build "$BUILD_DIR" -j "$JOBS"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS"

SANITIZE_DIR="$BUILD_DIR-sanitize"
cmake -S "$ROOT" -B "$SANITIZE_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DJNX_SANITIZE=ON \
    -DJNX_WERROR=ON -DJNX_BUILD_APP=OFF -DJNX_BUILD_BENCHMARKS=OFF
cmake --build "$SANITIZE_DIR" -j "$JOBS"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$SANITIZE_DIR" --output-on-failure -j "$JOBS" -L "model|window"
