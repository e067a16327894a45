# Shared by test.sh, run.sh and bench.sh: configuring and building the trees. Source it.

# 32-bit Windows programs run under Wine only where the kernel runs 32-bit ELF programs;
# elsewhere the same sources are built for x86_64 and tested under 64-bit Wine.
# A 32-bit program that runs only through an emulator registered with binfmt_misc does not
# count: Wine is far too slow that way. QUORVEL_WINE_ARCH=i686|x86_64 overrides the choice.
wine_test_arch() {
  if [ -n "${QUORVEL_WINE_ARCH:-}" ]; then echo "$QUORVEL_WINE_ARCH"; return; fi
  if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then echo x86_64; return; fi
  if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then echo i686; else echo x86_64; fi
}

jobs() { nproc 2>/dev/null || echo 2; }

# build_host DIR SANITIZE(ON|OFF)
build_host() {
  local dir=$1 sanitize=$2
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_SANITIZE="$sanitize" >/dev/null
  fi
  cmake --build "$dir" -j "$(jobs)"
}

# build_win DIR ARCH(i686|x86_64) [TESTS(ON|OFF)] [extra cmake args...]
# build/win is the shipped program: a Release build, stripped.
build_win() {
  local dir=$1 arch=$2 tests=${3:-ON}
  local type=RelWithDebInfo
  [ "$dir" = build/win ] && type=Release
  shift 3 || shift $#
  local triple=$arch-w64-mingw32
  local toolchain=$PWD/cmake/mingw-$arch.cmake
  local prefix=$PWD/$dir/_deps/libpng-prefix
  ./scripts/build-libpng-mingw.sh "$PWD/$dir/_deps/libpng-work" "$prefix" "$toolchain" "$triple"
  if [ ! -f "$dir/build.ninja" ] || ! grep -qx "QUORVEL_TESTS:BOOL=$tests" "$dir/CMakeCache.txt" ||
    ! grep -qx "CMAKE_BUILD_TYPE:STRING=$type" "$dir/CMakeCache.txt"; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQUORVEL_TARGET_PREFIX="$prefix" \
      -DQUORVEL_TESTS="$tests" "$@" >/dev/null
  fi
  cmake --build "$dir" -j "$(jobs)"
}
