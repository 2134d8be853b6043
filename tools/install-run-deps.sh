#!/usr/bin/env bash
# Installs the Debian packages that building the plug-in and redi-render
# needs, and nothing more (the test command's installer adds the Windows
# cross-compilers, Wine and the test tools). Idempotent. Without root it
# names what is missing and stops.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libsndfile1-dev libsoxr-dev
  libpng-dev zlib1g-dev libfreetype-dev libfontconfig-dev
  libx11-dev libxext-dev libcurl4-openssl-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-run-deps: missing packages: ${missing[*]}" >&2
  echo "install-run-deps: install them as root (apt-get install ${missing[*]}) or run this as root" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
