#!/usr/bin/env bash
# Builds Velvane with -DVELVANE_PORTABLE=ON into ./build-portable (or $VELVANE_PORTABLE_BUILD_DIR): on Linux, the
# platform code that macOS and Windows use in place of Linux's own. Runs the tests of that code (label "platform").
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VELVANE_PORTABLE_BUILD_DIR:-build-portable}

# Unoptimised and without debug information: the quickest to build, and these tests run quickly either way.
options=(-DVELVANE_PORTABLE=ON -DCMAKE_BUILD_TYPE=)
if command -v ccache >/dev/null; then
    options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build_dir" "${options[@]}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target velvane-platform-tests
ctest --test-dir "$build_dir" -L platform --output-on-failure -j 2
