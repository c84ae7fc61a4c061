#!/usr/bin/env bash
# Sets up, builds and starts Velvane with the demo album's cue sheet.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh
build_dir=${VELVANE_BUILD_DIR:-build}
export VELVANE_RESOURCES=${VELVANE_RESOURCES:-$PWD/$build_dir/share/velvane}
exec "$build_dir/velvane" "$@" "$PWD/examples/demo/demo.cue"
