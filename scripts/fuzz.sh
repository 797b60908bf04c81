#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for the given
# number of seconds (60 by default) on a copy of its seed corpus. Exits non-zero when a
# fuzzer found a crash; the inputs that crashed are left in build-fuzz/crashes/. Once the
# fault is fixed, put such an input into fuzz/corpus/<name>/: every run here starts from
# the corpus, and ctest replays it in every build (the tests *_fuzzer_corpus).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

seconds=${1:-60}
build="$ROOT/build-fuzz"

# clang, and its sanitizer and libFuzzer runtimes (only recommended by Debian's clang).
ensure_packages clang cmake ninja-build
clang_major=$(clang++ -dumpversion | cut -d. -f1)
if apt-cache show "libclang-rt-$clang_major-dev" >/dev/null 2>&1; then
    ensure_packages "libclang-rt-$clang_major-dev"
fi

# The whole build is instrumented, so that the fuzzers see coverage inside the model
# library too; fuzz/CMakeLists.txt adds libFuzzer's driver to the fuzz targets.
cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer" \
    -DJNX_FUZZ=ON -DJNX_BUILD_TESTS=OFF -DJNX_BUILD_APP=OFF -DJNX_BUILD_BENCHMARKS=OFF
cmake --build "$build" -j "$JOBS" --target profile_fuzzer int_conversion_fuzzer

crashes="$build/crashes"
mkdir -p "$crashes"
status=0
for pair in profile:profile_fuzzer int:int_conversion_fuzzer; do
    corpus_name=${pair%%:*}
    fuzzer=${pair#*:}
    # The fuzzer adds what it finds to its corpus: give it a copy, not the seeds.
    corpus="$build/corpus/$corpus_name"
    mkdir -p "$corpus"
    cp "$ROOT/fuzz/corpus/$corpus_name"/* "$corpus/"
    echo "== $fuzzer: $seconds s"
    if ! "$build/fuzz/$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$crashes/$fuzzer-" "$corpus"; then
        echo "!! $fuzzer failed; inputs in $crashes/" >&2
        status=1
    fi
done
exit $status
