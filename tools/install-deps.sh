#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent: does
# nothing when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config clang-format git
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  googletest libbenchmark-dev
  libsndfile1-dev libpng-dev zlib1g-dev libcurl4-openssl-dev
  sox espeak-ng locales-all
  python3-cairo fonts-dejavu-core fonts-liberation2
  wine wine64 wine32:i386
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root or install them" >&2
  exit 1
fi
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
