#!/usr/bin/env bash
# Configures and builds Velvane into ./build (or $VELVANE_BUILD_DIR): the targets named as arguments, or everything.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VELVANE_BUILD_DIR:-build}
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build_dir" -j "$(nproc)" "${targets[@]}"
