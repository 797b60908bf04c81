#!/usr/bin/env bash
# Makes the Windows release, dist/JnxEnv-<version>-win64.zip: the program (stripped), a
# short README in Japanese and English, the project's licence and Qt's, with where Qt's
# sources are. Takes the program from the Windows build (build-win/, made by
# windows_test.sh), building it first when it is not there.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

WIN_BUILD_DIR=${WIN_BUILD_DIR:-"$ROOT/build-win"}
DIST_DIR=${DIST_DIR:-"$ROOT/dist"}
ensure_packages zip unzip binutils-mingw-w64-x86-64 qt6-base-dev

exe="$WIN_BUILD_DIR/app/JnxEnv.exe"
if [ ! -f "$exe" ]; then
    "$ROOT/scripts/windows_test.sh" --build-only
fi

version=$(sed -n 's/^ *VERSION \([0-9][0-9.]*\)$/\1/p' "$ROOT/CMakeLists.txt" | head -n 1)
qt_deb_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
name="JnxEnv-$version-win64"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# Text files for Windows: CR LF line ends; the README starts with a UTF-8 byte order mark,
# so that Notepad shows its Japanese whatever the system's code page.
windows_text() {
    sed -e "s/@VERSION@/$version/g" -e "s/@QT_VERSION@/${qt_deb_version%%+*}/g" \
        -e "s/@QT_DEB_VERSION@/$qt_deb_version/g" "$@" | sed 's/$/\r/'
}

x86_64-w64-mingw32-strip -o "$stage/JnxEnv.exe" "$exe"
{
    printf '\xEF\xBB\xBF'
    windows_text "$ROOT/packaging/windows/README.txt"
} >"$stage/README.txt"
windows_text "$ROOT/LICENSE" >"$stage/LICENSE.txt"
{
    windows_text "$ROOT/packaging/windows/LICENSE-Qt.txt"
    windows_text /usr/share/common-licenses/LGPL-3
    printf '\r\n===============================================================================\r\n\r\n'
    windows_text /usr/share/common-licenses/GPL-3
} >"$stage/LICENSE-Qt.txt"

mkdir -p "$DIST_DIR"
rm -f "$DIST_DIR/$name.zip"
# Fixed dates and no extra attributes, so that the same files give the same archive.
touch -d '2000-01-01 00:00:00' "$stage"/*
(cd "$stage" && TZ=UTC zip -q -X -D "$DIST_DIR/$name.zip" JnxEnv.exe README.txt LICENSE.txt \
    LICENSE-Qt.txt)
echo "$DIST_DIR/$name.zip"
