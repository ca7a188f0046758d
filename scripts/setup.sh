#!/usr/bin/env bash
# Installs what the build needs (Debian/Ubuntu packages, only those missing) and builds SBK in ./build:
# everything, or only the targets named (setup.sh sbk sbk-cli).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake ninja-build g++
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite qt6-qpa-plugins libsqlite3-dev pkg-config libarchive-dev libdeflate-dev
    fonts-liberation poppler-utils libxtst-dev
    libfluidsynth-dev timgm6mb-soundfont
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ $# -gt 0 ]; then
    cmake --build build --parallel --target "$@"
else
    cmake --build build --parallel
fi
