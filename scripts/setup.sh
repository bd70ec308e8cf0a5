#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Safe to run again: packages already installed are skipped.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-dev clang-format
    libsdl2-dev libepoxy-dev libgl1-mesa-dri libfreetype-dev libfontconfig-dev fonts-dejavu-core
    libdevil-dev zlib1g-dev libgtk-3-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth xdotool x11-utils imagemagick gzip time python3
    desktop-file-utils appstream dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
