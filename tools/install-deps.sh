#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent: does
# nothing when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config clang-format git
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  googletest libbenchmark-dev
  libsndfile1-dev libsoxr-dev libpng-dev zlib1g-dev libz-mingw-w64-dev dpkg-dev libcurl4-openssl-dev
  libfreetype-dev libfontconfig-dev fonts-liberation2 fonts-dejavu-core imagemagick
  sox espeak-ng locales-all
  python3-cairo
  libx11-dev libxext-dev libxtst-dev xvfb
  wine wine64 wine32:i386
)

# The Windows builds compile libpng from Debian's source package; CMake looks
# for it here (REDI_LIBPNG_SOURCE_DIR overrides).
deps_dir=/var/cache/redi-deps
source_list=/etc/apt/sources.list.d/redi-sources.sources

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
have_libpng_source() { compgen -G "$deps_dir/libpng1.6-*/png.c" >/dev/null; }
[ ${#missing[@]} -eq 0 ] && have_libpng_source && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}) or the libpng source in $deps_dir;" \
       "run as root or install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -ne 0 ]; then
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if ! have_libpng_source; then
  if [ ! -f "$source_list" ]; then
    cat >"$source_list" <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  fi
  apt-get update -qq
  mkdir -p "$deps_dir"
  (cd "$deps_dir" && apt-get source -qq libpng1.6 >/dev/null)
fi
