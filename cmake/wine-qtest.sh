#!/usr/bin/env bash
# Runs a Qt Test program of the cross build under Wine and prints its results: Qt Test on
# Wine writes nothing to a pipe, so the results go to a file (code page 932, CR LF), which
# is shown as UTF-8 afterwards. The program's exit status is the script's.
#
#   wine-qtest.sh WINE_FOLDER PROGRAM [ARGUMENTS...]
set -euo pipefail

folder=$1
program=$2
shift 2
results=$(mktemp --suffix=.txt)
trap 'rm -f "$results"' EXIT
status=0
"$(dirname "${BASH_SOURCE[0]}")/wine-run.sh" "$folder" "$program" -o "Z:${results//\//\\},txt" "$@" ||
    status=$?
iconv -f CP932 -t UTF-8 "$results" | tr -d '\r' || cat "$results"
exit "$status"
