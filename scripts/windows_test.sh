#!/usr/bin/env bash
# Builds the settings model and its tests for Windows with MinGW-w64 and runs the tests
# under Wine, so that the Windows code calls Wine's own profile functions, in code page
# 932. The window is not built. The build lives in build-win/, Wine's prefix with it.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

WIN_BUILD_DIR=${WIN_BUILD_DIR:-"$ROOT/build-win"}
TOOLCHAIN="$ROOT/cmake/mingw-w64-x86_64.cmake"
WINE_RUN="$ROOT/cmake/wine-run.sh"
WINE_DIR="$WIN_BUILD_DIR/wine"  # where the toolchain's emulator keeps Wine's state

ensure_packages cmake ninja-build g++-mingw-w64-x86-64 googletest wine wine64 locales

# GoogleTest from Debian's source package, built with the same toolchain.
GTEST_BUILD="$WIN_BUILD_DIR/googletest-build"
GTEST_PREFIX="$WIN_BUILD_DIR/googletest"
cmake -S /usr/src/googletest -B "$GTEST_BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$GTEST_PREFIX" >/dev/null
cmake --build "$GTEST_BUILD" -j "$JOBS"
cmake --install "$GTEST_BUILD" >/dev/null

cmake -S "$ROOT" -B "$WIN_BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJNX_BUILD_APP=OFF -DJNX_BUILD_WINDOW=OFF \
    -DJNX_BUILD_BENCHMARKS=OFF -DGTest_DIR="$GTEST_PREFIX/lib/cmake/GTest"

# One Wine server for the build (which lists each test program's cases) and the tests;
# it and every Wine process end with this script.
"$WINE_RUN" "$WINE_DIR" --start
trap '"$WINE_RUN" "$WINE_DIR" --stop' EXIT

cmake --build "$WIN_BUILD_DIR" -j "$JOBS"
# Wine very rarely fails to start a program (about once in a thousand, with no output); a
# test that fails runs once more, so a real failure still fails.
ctest --test-dir "$WIN_BUILD_DIR" --output-on-failure -j "$JOBS" --repeat until-pass:2
