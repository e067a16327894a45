#!/usr/bin/env bash
# Installs what the build, the tests and the demo need, from Debian's packages.
# Quick when everything is already there: it asks apt only for what is missing.
set -euo pipefail

pkgs=(
  cmake make ninja-build python3 zip unzip dpkg-dev
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  mingw-w64-i686-dev libz-mingw-w64-dev
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  googletest libgtest-dev libpng-dev
  wine wine32:i386 wine64 xvfb xauth locales fonts-wqy-microhei
)

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# libpng is built for the target from Debian's own source package.
src_list=/etc/apt/sources.list.d/quorvel-deb-src.sources
need_src=0
if [ ! -f "$src_list" ]; then
  as_root tee "$src_list" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_src=1
fi

if [ ${#missing[@]} -gt 0 ] || [ $need_src -eq 1 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  # Sources outside Debian may be unreachable here; Debian's own lists are what matter.
  as_root apt-get update -q || true
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# zh_CN.UTF-8 makes Wine's ANSI code page 936.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  as_root sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen
fi
