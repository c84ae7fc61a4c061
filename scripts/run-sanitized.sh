#!/usr/bin/env bash
# Builds the core tests and the fuzz targets with clang under AddressSanitizer and UBSan into ./build-fuzz (or
# $VELVANE_FUZZ_BUILD_DIR), runs the core tests once, then each fuzz target for $VELVANE_FUZZ_SECONDS (60) from
# its seed corpus. Whatever a fuzzer finds lands in the build folder's findings/ and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VELVANE_FUZZ_BUILD_DIR:-build-fuzz}
seconds=${VELVANE_FUZZ_SECONDS:-60}

# -O1 with line tables: quick to build, and enough for the sanitizers' reports to name file and line.
options=()
if command -v ccache >/dev/null; then
    options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
fi
cmake -S . -B "$build_dir" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE= "-DCMAKE_CXX_FLAGS=-O1 -gline-tables-only" \
    -DVELVANE_FUZZ=ON "${options[@]}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target velvane-core-tests velvane-fuzzers

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
if [[ -x /usr/bin/llvm-symbolizer-14 ]]; then
    export ASAN_SYMBOLIZER_PATH=/usr/bin/llvm-symbolizer-14
fi
ctest --test-dir "$build_dir" -L core --output-on-failure -j 2

mkdir -p "$build_dir/findings"
for fuzzer in "$build_dir"/bin/fuzz_*; do
    name=${fuzzer##*/fuzz_}
    # New inputs go to a scratch folder, so the corpus in the repository stays as committed.
    scratch=$(mktemp -d)
    echo "Fuzzing $name for $seconds s"
    dict=()
    [[ -f fuzz/$name.dict ]] && dict=(-dict="fuzz/$name.dict")
    status=0
    "$fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 "${dict[@]}" \
        -artifact_prefix="$build_dir/findings/$name-" "$scratch" "fuzz/corpus/$name" >"$build_dir/fuzz-$name.log" 2>&1 ||
        status=$?
    rm -rf "$scratch"
    grep -E '^(Done|stat::number_of_executed_units)' "$build_dir/fuzz-$name.log" || true
    if ((status != 0)); then
        tail -n 60 "$build_dir/fuzz-$name.log"
        echo "fuzz_$name found a fault; the input is in $build_dir/findings/" >&2
        exit 1
    fi
done
