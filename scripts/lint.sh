#!/usr/bin/env bash
# The project's habits, checked: every tracked C++ file laid out as .clang-format says
# (clang-format), and the sources of the model, the code page converter, the window and
# the program free of what .clang-tidy looks for (clang-tidy, on the compile commands of a
# Linux build configured in build-lint/; nothing is compiled). Both are Debian's version
# 14, so that every machine judges alike. Any layout difference or clang-tidy warning
# fails the script. The Windows-only sources are not in the Linux build and not checked
# by clang-tidy; the script names them.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

LINT_BUILD_DIR="$ROOT/build-lint"
CLANG_FORMAT=clang-format-14
CLANG_TIDY=clang-tidy-14

ensure_packages clang-format-14 clang-tidy-14 "${PACKAGES[@]}"
cd "$ROOT"
status=0

echo "== clang-format"
git ls-files -z '*.cpp' '*.h' | xargs -0 "$CLANG_FORMAT" --dry-run --Werror || status=1

echo "== clang-tidy"
BUILD_DIR=$LINT_BUILD_DIR configure -DJNX_BUILD_WINDOW=ON -DJNX_BUILD_APP=ON \
    -DJNX_BUILD_TESTS=OFF -DJNX_BUILD_BENCHMARKS=OFF -DJNX_FUZZ=OFF >/dev/null
checked=()
skipped=()
while IFS= read -r -d '' file; do
    if grep -qF "\"file\": \"$ROOT/$file\"" "$LINT_BUILD_DIR/compile_commands.json"; then
        checked+=("$file")
    else
        skipped+=("$file")
    fi
done < <(git ls-files -z 'model/*.cpp' 'codepage/*.cpp' 'window/*.cpp' 'app/*.cpp')
if [ ${#skipped[@]} -gt 0 ]; then
    echo "Not in the Linux build, not checked: ${skipped[*]}"
fi

# JOBS files at a time; each file's findings are printed together, and only when it has any.
tidy() {
    local output
    if ! output=$("$CLANG_TIDY" -p "$LINT_BUILD_DIR" --quiet --warnings-as-errors='*' "$1" 2>&1); then
        printf '%s\n' "$output"
        return 1
    fi
}
export -f tidy
export CLANG_TIDY LINT_BUILD_DIR
printf '%s\0' "${checked[@]}" | xargs -0 -n 1 -P "$JOBS" bash -c 'tidy "$1"' tidy || status=1

if [ "$status" -ne 0 ]; then
    echo "lint: FAILED (${SECONDS} s)" >&2
    exit 1
fi
echo "lint: ${#checked[@]} files checked by clang-tidy, all clean (${SECONDS} s)"
