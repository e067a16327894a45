#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program under Wine with the stand-in
# flashing tool and a simulated handset attached. Without $DISPLAY it starts Xvfb instead and
# saves screenshots of the main window and the driver window.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
. scripts/build-lib.sh

arch=$(wine_test_arch)
if [ "$arch" = i686 ]; then tree=build/win; else tree=build/win64; fi
build_win "$tree" "$arch" ON
[ "$arch" = i686 ] || echo "note: this machine cannot run 32-bit Windows programs under Wine; showing the x86_64 build of the same sources"

demo=$PWD/$tree/demo
bench=$demo/bench
mkdir -p "$demo/handset"
# The simulated handset (see tools/ffutool/README.md).
cat >"$demo/handset/handset.ini" <<'INI'
name=Demo Handset
unique_id=0123456789ABCDEF0123456789ABCDEF
platform_id=Quorvel.Demo.Platform
storage_bytes=33554432
INI
export QUORVEL_HANDSET="Z:${demo//\//\\}\\handset"
program=$PWD/$tree/src/quorvel_loopback.exe
ffumaker=$PWD/$tree/tools/ffumaker/ffumaker.exe

# A sample image where the file dialog starts: %programdata%\Nokia\Packages\Products.
make_sample_image() {
  "$WINE" cmd /c mkdir 'C:\ProgramData\Nokia\Packages\Products' </dev/null >/dev/null 2>&1 || true
  "$WINE" "$ffumaker" --out 'C:\ProgramData\Nokia\Packages\Products\demo.ffu' \
    --platform Quorvel.Demo.Platform --random 2097152 --seed 1 </dev/null >/dev/null
}
snapshot=$PWD/$tree/tools/snapshot/snapshot.exe

if [ -n "${DISPLAY:-}" ]; then
  shown_display=$DISPLAY
  ./scripts/wine-bench.sh start "$bench" "$([ "$arch" = i686 ] && echo win32 || echo win64)" >/dev/null
  eval "$(./scripts/wine-bench.sh env "$bench")"
  export DISPLAY=$shown_display
  trap './scripts/wine-bench.sh stop "$bench" >/dev/null' EXIT
  make_sample_image
  echo "starting $program"
  "$WINE" "$program" </dev/null
else
  ./scripts/wine-bench.sh start "$bench" "$([ "$arch" = i686 ] && echo win32 || echo win64)"
  trap './scripts/wine-bench.sh stop "$bench" >/dev/null' EXIT
  eval "$(./scripts/wine-bench.sh env "$bench")"
  make_sample_image
  "$WINE" "$program" </dev/null >"$demo/program.log" 2>&1 &
  # The window shows at once; give the start-up checks and the unpacking a moment.
  sleep 1
  "$WINE" "$snapshot" capture "Windows Phone - ffutool" "Z:${demo//\//\\}\\main-window.png" 60000 </dev/null
  sleep 3
  "$WINE" "$snapshot" capture "Windows Phone - ffutool" "Z:${demo//\//\\}\\main-window.png" 60000 </dev/null
  "$WINE" "$snapshot" driver "Z:${demo//\//\\}\\driver-window.png" </dev/null
  echo "no display: screenshots saved as"
  echo "  $demo/main-window.png"
  echo "  $demo/driver-window.png"
fi
