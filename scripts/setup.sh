#!/usr/bin/env bash
# Installs what Marlo needs to build, test and run on Debian or Ubuntu.
# Does nothing when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    fonts-ipafont-gothic qt6-translations-l10n
    libicu-dev libmecab-dev mecab-ipadic-utf8
    librsvg2-bin desktop-file-utils appstream file man-db
    radicale openssl qtkeychain-qt6-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
if [ "$(id -u)" -eq 0 ]; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
elif command -v sudo >/dev/null 2>&1; then
    sudo apt-get update
    sudo DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
else
    echo "Please run as root: apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
fi
