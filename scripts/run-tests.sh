#!/usr/bin/env bash
# Sets up, builds and runs every test, builds the portable platform code and runs its tests, checks the Debian
# package, then runs the core tests again under the sanitizers, and the fuzzers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
bash scripts/build.sh
ctest --test-dir "${VELVANE_BUILD_DIR:-build}" --output-on-failure -j 2
bash scripts/run-portable.sh
bash scripts/check-package.sh
bash scripts/run-sanitized.sh
