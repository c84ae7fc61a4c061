#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Velvane need.
# Does nothing when all of them are present; never prompts.
set -euo pipefail

packages=(
    cmake g++ make pkg-config file dpkg-dev ccache
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    libtag1-dev libuchardet-dev libicu-dev libflac-dev libjpeg-dev libpng-dev
    mp3splt
    ffmpeg lame vorbis-tools flac python3-mutagen mpd mpc
    xvfb xauth imagemagick fonts-dejavu-core
    desktop-file-utils appstream man-db lintian
    pkexec
    clang-14 libclang-rt-14-dev llvm-14
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
# Another install (unattended upgrades, a package manager window) may hold the dpkg lock for a while: wait for it.
wait_for_lock=(-o DPkg::Lock::Timeout=300)
"${sudo[@]}" apt-get "${wait_for_lock[@]}" update -q
"${sudo[@]}" apt-get "${wait_for_lock[@]}" install -y -q --no-install-recommends "${missing[@]}"
