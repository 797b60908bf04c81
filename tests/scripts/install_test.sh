#!/usr/bin/env bash
# The installation as the README gives it, "cmake --install build --prefix <folder>", run on
# the build this test belongs to, into temporary folders: the README's own folder name, one
# with characters a desktop entry must escape, and a relative one. Each installation holds
# exactly the program, the icon at every size it is drawn at in the hicolor theme's folder
# of that size (a PNG image of that many pixels) and the desktop entry; the entry, read as
# the desktop entry format says, starts the installed program and names an installed icon.
# On a Ninja build the test also asks Ninja what building the program runs: that target is
# all scripts/run.sh builds, and it must write every icon the installation copies.
#
#   install_test.sh CMAKE BUILD_FOLDER GENERATOR MAKE_PROGRAM
set -euo pipefail
export LC_ALL=C

cmake=$1
build=$2
generator=$3
make_program=$4
# Its physical path: the relative installation is checked against the current folder.
TMP=$(cd "$(mktemp -d)" && pwd -P)
trap 'rm -rf "$TMP"' EXIT
failures=0

# The sizes the window draws the icon at (kAppIconSizes in window/look/app_icon.h).
SIZES=(16 24 32 48 256)

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The width and height that a PNG file's header gives, as "WIDTH HEIGHT"; fails for a file
# that does not start as a PNG file does (its signature, then the IHDR chunk).
png_size() {
    local -a b
    read -r -a b <<<"$(od -An -v -tu1 -N24 "$1" | tr -s ' \n' '  ')"
    [ ${#b[@]} -eq 24 ] || return 1
    [ "${b[*]:0:8}" = "137 80 78 71 13 10 26 10" ] || return 1
    [ "${b[*]:12:4}" = "73 72 68 82" ] || return 1
    echo "$(((b[16] << 24) | (b[17] << 16) | (b[18] << 8) | b[19]))" \
        "$(((b[20] << 24) | (b[21] << 16) | (b[22] << 8) | b[23]))"
}

# A desktop entry's string value with its escapes \s, \n, \t, \r and \\ undone; fails on
# any other escape.
unescape_string() {
    local text=$1 out='' i
    for ((i = 0; i < ${#text}; i++)); do
        if [ "${text:i:1}" != "\\" ]; then
            out+=${text:i:1}
            continue
        fi
        i=$((i + 1))
        case ${text:i:1} in
        s) out+=' ' ;;
        n) out+=$'\n' ;;
        t) out+=$'\t' ;;
        r) out+=$'\r' ;;
        "\\") out+="\\" ;;
        *) return 1 ;;
        esac
    done
    printf '%s' "$out"
}

# The value of KEY in the desktop entry FILE, unescaped; fails unless the key is there
# exactly once.
entry_value() {
    local file=$1 key=$2
    local -a lines
    mapfile -t lines < <(grep -E "^$key=" "$file" || true)
    [ ${#lines[@]} -eq 1 ] || return 1
    unescape_string "${lines[0]#"$key="}"
}

# The program an Exec value starts, when the value is one argument in double quotes and no
# field code: inside the quotes '"', '`', '$' and '\' must be escaped by a backslash, and
# a literal '%' is written "%%".
exec_program() {
    local text=$1 out='' i c
    [[ $text == \"*\" ]] || return 1
    text=${text:1:${#text}-2}
    for ((i = 0; i < ${#text}; i++)); do
        c=${text:i:1}
        case $c in
        "\\")
            i=$((i + 1))
            c=${text:i:1}
            case $c in
            '"' | '`' | '$' | "\\") out+=$c ;;
            *) return 1 ;;
            esac
            ;;
        '"' | '`' | '$') return 1 ;;
        %)
            i=$((i + 1))
            [ "${text:i:1}" = % ] || return 1
            out+=%
            ;;
        *) out+=$c ;;
        esac
    done
    printf '%s' "$out"
}

# Installs with the README's command from the folder FROM with the prefix PREFIX, which
# stands for the folder FOLDER, and checks what it installed.
check_install() {
    local name=$1 from=$2 prefix=$3 folder=$4
    local output
    if ! output=$(cd "$from" && env -u DESTDIR "$cmake" --install "$build" --prefix "$prefix" 2>&1); then
        fail "$name: cmake --install failed"
        echo "$output" >&2
        return
    fi

    local -a expected=("$folder/JnxEnv" "$folder/share/applications/jnxenv.desktop")
    local size icon dimensions
    for size in "${SIZES[@]}"; do
        icon="$folder/share/icons/hicolor/${size}x$size/apps/jnxenv.png"
        expected+=("$icon")
        if [ ! -f "$icon" ]; then
            fail "$name: no $size-pixel icon"
        elif ! dimensions=$(png_size "$icon"); then
            fail "$name: the $size-pixel icon is no PNG file"
        elif [ "$dimensions" != "$size $size" ]; then
            fail "$name: the $size-pixel icon is $dimensions pixels"
        fi
    done
    local installed wanted
    installed=$(find "$folder" -type f | sort)
    wanted=$(printf '%s\n' "${expected[@]}" | sort)
    if [ "$installed" != "$wanted" ]; then
        fail "$name: the installation holds other files than the expected ones"
        diff -u <(echo "$wanted") <(echo "$installed") >&2 || true
    fi
    [ -x "$folder/JnxEnv" ] || fail "$name: the program is not executable"

    local entry="$folder/share/applications/jnxenv.desktop" exec program
    [ -f "$entry" ] || return 0
    [ "$(head -n 1 "$entry")" = "[Desktop Entry]" ] || fail "$name: the entry has no group"
    [ "$(entry_value "$entry" Type)" = Application ] || fail "$name: the entry's Type"
    if ! exec=$(entry_value "$entry" Exec) || ! program=$(exec_program "$exec"); then
        fail "$name: the entry's Exec is not one quoted argument: $(grep '^Exec=' "$entry")"
    elif [ "$program" != "$folder/JnxEnv" ]; then
        fail "$name: the entry starts \"$program\", not the installed program"
    fi
    if ! icon=$(entry_value "$entry" Icon); then
        fail "$name: the entry's Icon is unreadable: $(grep '^Icon=' "$entry")"
    elif [[ $icon != /* ]] || ! grep -qxF -- "$icon" <<<"$wanted" || ! png_size "$icon" >/dev/null; then
        fail "$name: the entry's icon \"$icon\" is none of the installed icons"
    fi
}

# Building the program's target writes every icon: a build of that target alone, as
# scripts/run.sh makes it, leaves nothing for the installation to miss.
if [ "$generator" = Ninja ]; then
    commands=$("$make_program" -C "$build" -t commands JnxEnv)
    for size in "${SIZES[@]}"; do
        grep -qE "write_icon .*\.png $size\$" <<<"$commands" ||
            fail "building JnxEnv does not write the $size-pixel icon"
    done
fi

check_install "the README's folder" "$TMP" "$TMP/the tool's folder" "$TMP/the tool's folder"
awkward=$'馬券 "Jnx" $HOME `date` 100%f\ttab;'
check_install "a folder with characters to escape" "$TMP" "$TMP/$awkward" "$TMP/$awkward"
mkdir "$TMP/here"
check_install "a relative folder" "$TMP/here" "relative/tool" "$TMP/here/relative/tool"

if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "PASSED"
