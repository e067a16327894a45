#!/usr/bin/env bash
# Builds libpng for the i686 MinGW target from Debian's own source package (with Debian's
# patches applied by dpkg-source), installed under PREFIX. Cached: a second run does nothing.
# Usage: build-libpng-mingw.sh WORKDIR PREFIX TOOLCHAIN_FILE TRIPLE
set -euo pipefail
work=$1 prefix=$2 toolchain=$3 triple=$4
stamp="$prefix/.built"
[ -f "$stamp" ] && exit 0

mkdir -p "$work"
cd "$work"
if ! ls libpng1.6_*.dsc >/dev/null 2>&1; then
  apt-get source --download-only libpng1.6
fi
dsc=$(ls libpng1.6_*.dsc | sort | tail -n 1)
rm -rf src
dpkg-source --no-check -x "$dsc" src >/dev/null

zlib_root=/usr/$triple
cmake -S src -B build -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_LIBRARY="$zlib_root/lib/libz.a" \
  -DZLIB_INCLUDE_DIR="$zlib_root/include" >/dev/null
cmake --build build >/dev/null
cmake --install build >/dev/null
touch "$stamp"
