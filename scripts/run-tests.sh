#!/usr/bin/env bash
# Sets up, builds and runs every test, then checks the Debian package.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh
ctest --test-dir "${VELVANE_BUILD_DIR:-build}" --output-on-failure -j 2
bash scripts/check-package.sh
