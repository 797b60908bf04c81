#!/usr/bin/env bash
# Builds the whole program for Windows with MinGW-w64 against a static Qt (made by
# windows_qt.sh, or taken from its cache) and runs the tests under Wine, in code page
# 932: the settings model's tests against Wine's own profile functions, the window's
# tests on Qt's windows platform, and the end-to-end scenarios against JnxEnv.exe. Wine
# shows its windows on a virtual screen (Xvfb) of this script's own. The build lives in
# build-win/, Wine's prefixes with it.
#
#   scripts/windows_test.sh [--build-only]
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

WIN_BUILD_DIR=${WIN_BUILD_DIR:-"$ROOT/build-win"}
TOOLCHAIN="$ROOT/cmake/mingw-w64-x86_64.cmake"
WINE_RUN="$ROOT/cmake/wine-run.sh"
WINE_DIR="$WIN_BUILD_DIR/wine"  # where the toolchain's emulator keeps Wine's state

ensure_packages cmake ninja-build g++-mingw-w64-x86-64-posix googletest wine wine64 locales python3 \
    fonts-ipafont-gothic zip unzip "${X_PACKAGES[@]}"

QT_WIN=$("$ROOT/scripts/windows_qt.sh")

# GoogleTest from Debian's source package, built with the same toolchain.
GTEST_BUILD="$WIN_BUILD_DIR/googletest-build"
GTEST_PREFIX="$WIN_BUILD_DIR/googletest"
cmake -S /usr/src/googletest -B "$GTEST_BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$GTEST_PREFIX" >/dev/null
cmake --build "$GTEST_BUILD" -j "$JOBS"
cmake --install "$GTEST_BUILD" >/dev/null

# Qt's toolchain file finds the static Qt and hands on to the project's own.
cmake -S "$ROOT" -B "$WIN_BUILD_DIR" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$QT_WIN/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DJNX_BUILD_APP=ON -DJNX_BUILD_WINDOW=ON \
    -DJNX_BUILD_BENCHMARKS=ON -DGTest_DIR="$GTEST_PREFIX/lib/cmake/GTest"

# One virtual screen and one Wine server for the build (which lists each test program's
# cases and writes the icon) and the tests; they and every Wine process end with this
# script. The end-to-end scenarios start screens and servers of their own.
start_xvfb
export JNX_WINE_DISPLAY=$DISPLAY
unset DISPLAY
"$WINE_RUN" "$WINE_DIR" --start
trap '"$WINE_RUN" "$WINE_DIR" --stop; stop_xvfb' EXIT

cmake --build "$WIN_BUILD_DIR" -j "$JOBS"
if [ "${1:-}" = --build-only ]; then
    exit 0
fi
# Wine very rarely fails to start a program (about once in a thousand, with no output); a
# test that fails runs once more, so a real failure still fails.
ctest --test-dir "$WIN_BUILD_DIR" --output-on-failure -j "$JOBS" --repeat until-pass:2

# The release: the zip, what it holds, and its program starting on Wine.
zip=$("$ROOT/scripts/package_windows.sh" | tail -n 1)
"$ROOT/tests/e2e/windows_zip_test.sh" "$zip" "$WIN_BUILD_DIR/wine-e2e"
