#!/usr/bin/env bash
# Checks the Windows release: the zip holds exactly its four files, and the program in it
# starts on Wine beside a Jnx.ini, shows its window, saves an edit by the menu and exits.
#
#   windows_zip_test.sh ZIP WINE_FOLDER
set -euo pipefail

zip=$1
wine_folder=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)

expected=$(printf '%s\n' JnxEnv.exe LICENSE-Qt.txt LICENSE.txt README.txt)
actual=$(unzip -Z1 "$zip" | sort)
if [ "$actual" != "$expected" ]; then
    echo "FAILED: $zip holds:" >&2
    echo "$actual" >&2
    exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
unzip -q "$zip" -d "$scratch"
for text in README.txt LICENSE.txt LICENSE-Qt.txt; do
    grep -q $'\r$' "$scratch/$text" || { echo "FAILED: $text has no CR LF line ends" >&2; exit 1; }
done
grep -q 'GNU LESSER GENERAL PUBLIC LICENSE' "$scratch/LICENSE-Qt.txt" ||
    { echo "FAILED: LICENSE-Qt.txt lacks the LGPL" >&2; exit 1; }
# One self-contained program: it imports system DLLs only, none of Qt's or MinGW's.
imports=$(x86_64-w64-mingw32-objdump -p "$scratch/JnxEnv.exe" | sed -n 's/^\tDLL Name: //p')
if grep -iE '^(qt|lib)' <<<"$imports"; then
    echo "FAILED: JnxEnv.exe needs DLLs that do not come with Windows" >&2
    exit 1
fi
# Its version resource reads one version everywhere: the project's, as Windows writes it
# (2.01 as 2.1.0.0), in the numbers Explorer shows as the file version and in the texts.
version=$(sed -n 's/^ *VERSION \([0-9][0-9.]*\)$/\1/p' "$root/CMakeLists.txt" | head -n 1)
windows_version=$(awk -F. '{ printf "%d.%d.0.0", $1, $2 }' <<<"$version")
numbers=$(python3 - "$scratch/JnxEnv.exe" <<'PYTHON'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(struct.pack("<I", 0xFEEF04BD))  # VS_FIXEDFILEINFO's signature
file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<4I", data, at + 8)
for ms, ls in ((file_ms, file_ls), (product_ms, product_ls)):
    print(f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}")
PYTHON
)
texts=$(strings -el "$scratch/JnxEnv.exe" | grep -A1 -x -e FileVersion -e ProductVersion |
    grep -v -x -e FileVersion -e ProductVersion -e --)
expected=$(printf '%s\n' "$windows_version" "$windows_version")
if [ "$numbers" != "$expected" ] || [ "$texts" != "$expected" ]; then
    echo "FAILED: JnxEnv.exe's versions are not all $windows_version:" $numbers $texts >&2
    exit 1
fi
bash "$here/editor_e2e.sh" save_by_menu_then_exit "$scratch/JnxEnv.exe" "$root/sample/Jnx.ini" \
    "$root/cmake/wine-run.sh $wine_folder"
echo "PASSED (the release $zip)"
