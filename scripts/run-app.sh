#!/usr/bin/env bash
# Sets up, builds and starts Velvane with the demo album's cue sheet read. Builds the app alone: the tests are
# run-tests.sh's business.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh velvane
build_dir=${VELVANE_BUILD_DIR:-build}
# The demo is split from a copy in the build folder, so its tracks never land in the source tree.
mkdir -p "$build_dir/demo"
cp -n examples/demo/demo.cue examples/demo/demo.mp3 "$build_dir/demo/"
exec "$build_dir/bin/velvane" "$@" "$PWD/$build_dir/demo/demo.cue"
