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
# Its version resource holds the project's version.
version=$(sed -n 's/^ *VERSION \([0-9][0-9.]*\)$/\1/p' "$root/CMakeLists.txt" | head -n 1)
strings -el "$scratch/JnxEnv.exe" | grep -A1 -x ProductVersion | grep -qx "$version" ||
    { echo "FAILED: JnxEnv.exe's version resource lacks $version" >&2; exit 1; }
bash "$here/editor_e2e.sh" save_by_menu_then_exit "$scratch/JnxEnv.exe" "$root/sample/Jnx.ini" \
    "$root/cmake/wine-run.sh $wine_folder"
echo "PASSED (the release $zip)"
