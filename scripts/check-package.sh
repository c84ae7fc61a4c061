#!/usr/bin/env bash
# Makes the Debian package from the build tree (built in full beforehand) and has lintian check it. Any error
# fails; warnings and the overridden ones, with the reasons given for them, are shown.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VELVANE_BUILD_DIR:-build}
out=$(cd "$build_dir" && cpack -G DEB 2>&1) || { printf '%s\n' "$out"; exit 1; }
deb=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$out")
[[ -f $deb ]] || { printf '%s\ncpack named no package\n' "$out"; exit 1; }
echo "lintian $deb"
lintian --fail-on error --show-overrides "$deb"
echo "lintian found no errors"
