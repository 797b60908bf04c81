#!/usr/bin/env bash
# Builds Qt for 64-bit Windows as static libraries (Core, Gui, Widgets, Test and the
# windows platform plugin) with Debian's MinGW-w64, from Debian's own qt6-base source
# package, so that it matches the host tools of the installed qt6-base-dev (moc, rcc, uic).
#
#   scripts/windows_qt.sh        builds it unless the cache holds it; prints its folder
#
# The result lives outside the repository, in $JNX_QT_WIN_CACHE (default
# ~/.cache/jnxenv/qt-win), in a folder named after a hash of the Qt version, the compiler
# and everything below that shapes the build, so that a change to any of them builds anew
# and an unchanged recipe is never built twice. A build takes about 17 minutes on 2 cores.
# Programs use it through <folder>/lib/cmake/Qt6/qt.toolchain.cmake.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$ROOT/scripts/apt_sources.sh"

# The folder is this script's only output: every message, its own and those of the tools
# it runs (apt, the package installs, the build), goes to stderr, because callers take
# the standard output as the folder's name.
exec 3>&1 1>&2

CACHE=${JNX_QT_WIN_CACHE:-"${XDG_CACHE_HOME:-$HOME/.cache}/jnxenv/qt-win"}
TRIPLET=x86_64-w64-mingw32

ensure_packages cmake ninja-build g++-mingw-w64-x86-64-posix qt6-base-dev dpkg-dev xz-utils \
    perl python3

# Debian's source entries, for apt's source tooling: when the machine has none, one beside
# each of its binary entries that offers the installed Qt, at the same address (a mirror or
# a proxy included), for the same suites, with the same keyring. Entries that apt cannot
# update from would make every later update fail, so they are taken out again then.
ensure_source_entries() {
    if has_source_entries; then
        return
    fi
    local uris
    uris=$(apt-cache policy qt6-base-dev | awk '$2 ~ /:\/\// { print $2 }' | sort -u)
    local entries=
    if [ -n "$uris" ]; then
        entries=$(deb_src_entries $uris)
    fi
    if [ -z "$entries" ]; then
        echo "apt has no entry that offers qt6-base-dev; add a deb-src entry for it" >&2
        exit 1
    fi
    local added="$APT_ETC/sources.list.d/jnxenv-sources.sources"
    echo "Adding source entries beside apt's binary entries: $(echo $uris)" >&2
    printf '%s\n' "$entries" | as_root tee "$added" >/dev/null
    if ! as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q >&2; then
        as_root rm -f "$added"
        echo "apt could not update with the source entries; $added removed again" >&2
        exit 1
    fi
}

QT_DEB_VERSION=$(dpkg-query -W -f='${Version}' qt6-base-dev)
GXX_VERSION=$($TRIPLET-g++-posix -dumpfullversion)

# What the libraries hold: no OpenGL, network, SQL, printing, D-Bus or ICU; Qt's own copies
# of zlib, PCRE, libpng, libjpeg, FreeType and HarfBuzz, so that nothing comes from the
# machine. Direct2D stays on: Gui builds the DirectWrite font database only with it.
CONFIGURE_OPTIONS=(-static -static-runtime -release -nomake examples -nomake tests
    -no-opengl -no-dbus -no-icu -no-feature-network -no-feature-sql -no-feature-printsupport
    -no-feature-concurrent -no-feature-xml -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg
    -qt-freetype -qt-harfbuzz)

# Bump when the steps below change what gets built.
RECIPE=2
KEY=$(printf '%s\n' "$RECIPE" "$QT_DEB_VERSION" "$GXX_VERSION" "${CONFIGURE_OPTIONS[@]}" |
    sha256sum | cut -c1-16)
PREFIX="$CACHE/qt-${QT_DEB_VERSION%%+*}-$KEY"

if [ -e "$PREFIX/.complete" ]; then
    echo "$PREFIX" >&3
    exit 0
fi

echo "Building Qt $QT_DEB_VERSION for Windows into $PREFIX" >&2
ensure_source_entries
WORK="$CACHE/work-$KEY"
rm -rf "$WORK" "$PREFIX"
mkdir -p "$WORK"
trap 'rm -rf "$WORK"' EXIT

(
    cd "$WORK"
    # The source package of the installed Qt, with Debian's security fixes to upstream
    # code; the packaging's own patches are for Debian's Linux build and stay out.
    apt-get source --download-only -q "qt6-base=$QT_DEB_VERSION" >&2
    dpkg-source --skip-patches -x qt6-base_*.dsc source >&2
    cd source
    if [ -f debian/patches/series ]; then
        grep -E '^cve-' debian/patches/series | while read -r patch _; do
            echo "Applying $patch" >&2
            patch -p1 --forward --quiet <"debian/patches/$patch" >&2
        done
    fi

    # The +dfsg source drops the Wintab tablet headers, which the windows platform plugin
    # includes; Wine's (LGPL) serve. They are taken from its development package, which is
    # unpacked here, not installed.
    mkdir -p "$WORK/wine-dev" src/3rdparty/wintab
    (cd "$WORK/wine-dev" && apt-get download -q libwine-dev >&2 &&
        dpkg-deb -x libwine-dev_*.deb .)
    wine_include=$(dirname "$(find "$WORK/wine-dev" -name wintab.h -path '*wine/windows*' | head -1)")
    {
        echo '#include <windows.h>'
        echo '#include <_mingw_dxhelper.h>'
        echo '#define API WINAPI'
        cat "$wine_include/wintab.h"
    } >src/3rdparty/wintab/wintab.h
    cp "$wine_include/pktdef.h" src/3rdparty/wintab/pktdef.h

    # The toolchain lives in the install, so that the install can move.
    mkdir -p "$PREFIX/lib/cmake"
    cat >"$PREFIX/lib/cmake/mingw-w64-toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $TRIPLET-gcc-posix)
set(CMAKE_CXX_COMPILER $TRIPLET-g++-posix)
set(CMAKE_RC_COMPILER $TRIPLET-windres)
set(CMAKE_AR $TRIPLET-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB $TRIPLET-gcc-ranlib-posix CACHE FILEPATH "")
list(APPEND CMAKE_FIND_ROOT_PATH /usr/$TRIPLET)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

    mkdir -p "$WORK/build"
    cd "$WORK/build"
    nice -n 19 "$WORK/source/configure" -prefix "$PREFIX" -qt-host-path /usr \
        "${CONFIGURE_OPTIONS[@]}" -- -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$PREFIX/lib/cmake/mingw-w64-toolchain.cmake" \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >&2
    nice -n 19 cmake --build . -j "$JOBS" >&2
    cmake --install . >&2
)

printf '%s\n' "$QT_DEB_VERSION" "${CONFIGURE_OPTIONS[@]}" >"$PREFIX/.complete"
echo "$PREFIX" >&3
