#!/usr/bin/env bash
# Configures and builds Velvane into ./build (or $VELVANE_BUILD_DIR): the targets named as arguments, or everything.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VELVANE_BUILD_DIR:-build}
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
options=(-DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo})
# ccache, where it is installed, makes a rebuild in a fresh clone cheap; paths below the clone count as relative.
if command -v ccache >/dev/null; then
    options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
fi
cmake -S . -B "$build_dir" "${options[@]}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)" "${targets[@]}"
