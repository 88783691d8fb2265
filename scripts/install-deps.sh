#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need; does nothing when they
# are all present. Run as root (or with sudo available).
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev fonts-wine fonts-liberation
  xvfb xauth imagemagick
  python3 python3-olefile python3-gi gir1.2-gsf-1 libgsf-bin
  libicu-dev python3-jsonschema libxml2-utils libxml2-dev
  at-spi2-core python3-pyatspi dbus-daemon
  dpkg-dev file help2man lintian
  build-essential debhelper bash-completion librsvg2-bin appstream desktop-file-utils autopkgtest diffoscope-minimal
  git pre-commit nodejs
)
# npm installs the SARIF validator for the tests; a Node.js from elsewhere may bring its own npm.
command -v npm > /dev/null || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
