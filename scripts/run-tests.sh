#!/usr/bin/env bash
# Sets up, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh
ctest --test-dir "${VELVANE_BUILD_DIR:-build}" --output-on-failure -j 2
