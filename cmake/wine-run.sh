#!/usr/bin/env bash
# Runs Windows programs under Wine, for the cross build's tests.
#
#   wine-run.sh FOLDER PROGRAM [ARGUMENTS...]   runs a program (the cross build's emulator)
#   wine-run.sh FOLDER --start                  keeps Wine running until --stop
#   wine-run.sh FOLDER --stop                   ends every Wine process of FOLDER
#
# FOLDER (in the build folder) holds the Wine prefix and a Japanese locale, both made on
# first use. Wine takes its Windows locale, and so the ANSI code page 932, from the Unix
# locale ja_JP.UTF-8, which is compiled into FOLDER and found through LOCPATH, so that
# nothing outside the build folder changes. The same locale gives Wine UTF-8 file names on
# the Unix side, so that names such as "ソ" can be made.
#
# Programs run without a display, so that no window opens on whatever display the caller
# has; the window's tests set JNX_WINE_DISPLAY to an X server of their own. Windows' Japanese
# fonts, which Wine lacks, are replaced in the prefix by the IPA fonts (found through
# fontconfig): without them Wine's dialog font and Qt's fallback differ, and a line edit
# draws its text out of view after the first edit.
set -euo pipefail

folder=$(realpath -m "$1")
shift

export WINEPREFIX=$folder/prefix
# Wine's own error messages only.
export WINEDEBUG=${WINEDEBUG:--all,err+all}
# No Mono or Gecko installer: nothing here needs .NET or HTML.
export WINEDLLOVERRIDES="mscoree,mshtml="
export LOCPATH=$folder/locale
unset WAYLAND_DISPLAY
if [ -n "${JNX_WINE_DISPLAY:-}" ]; then
    export DISPLAY=$JNX_WINE_DISPLAY
else
    unset DISPLAY
fi
locale=ja_JP.UTF-8
# Set for Wine only: this shell would warn about a locale that is not yet made.
in_locale() {
    env LC_ALL=$locale "$@"
}

mkdir -p "$folder"
(
    flock 9
    if [ ! -e "$LOCPATH/$locale/LC_CTYPE" ]; then
        mkdir -p "$LOCPATH"
        localedef -i ja_JP -f UTF-8 "$LOCPATH/$locale"
    fi
    if [ ! -e "$folder/prefix-ready" ]; then
        if ! in_locale wineboot -i >"$folder/wineboot.log" 2>&1; then
            cat "$folder/wineboot.log" >&2
            exit 1
        fi
        touch "$folder/prefix-ready"
    fi
    if [ ! -e "$folder/fonts-ready" ]; then
        replacements='HKCU\Software\Wine\Fonts\Replacements'
        for pair in "MS UI Gothic=IPAPGothic" "MS PGothic=IPAPGothic" "MS Gothic=IPAGothic" \
            "ＭＳ Ｐゴシック=IPAPGothic" "ＭＳ ゴシック=IPAGothic"; do
            in_locale wine reg add "$replacements" /v "${pair%%=*}" /t REG_SZ \
                /d "${pair#*=}" /f >/dev/null 2>&1
        done
        touch "$folder/fonts-ready"
    fi
) 9>"$folder/lock"

case "${1:-}" in
    --start)
        # One server for every test, in place of the one that may still linger after the
        # prefix was made. Wine's own background programs start with the first program;
        # started here, they hold no test's output open.
        wineserver -k 2>/dev/null || true
        wineserver -w
        in_locale wineserver -p
        in_locale wineboot </dev/null >/dev/null 2>&1
        ;;
    --stop)
        wineserver -k || true
        wineserver -w
        ;;
    *)
        exec env LC_ALL=$locale wine "$@"
        ;;
esac
