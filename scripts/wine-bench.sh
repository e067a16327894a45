#!/usr/bin/env bash
# The Wine test bench: a private prefix and an Xvfb display in the build tree.
#   wine-bench.sh start BENCH_DIR ARCH   start Xvfb and a persistent wineserver (prefix made once);
#                                        ARCH is win32 or win64 (64-bit Wine, where 32-bit ELF cannot run)
#   wine-bench.sh run BENCH_DIR EXE ...   run a Windows program there (stdin from /dev/null)
#   wine-bench.sh stop BENCH_DIR         end the wineserver and Xvfb
#   wine-bench.sh env BENCH_DIR          print the environment, for `eval`
set -euo pipefail
cmd=$1 bench=$(mkdir -p "$2" && cd "$2" && pwd)
shift 2

bench_env() {
  arch=$(cat "$bench/arch" 2>/dev/null || echo win32)
  export WINEPREFIX="$bench/prefix-$arch"
  export WINEARCH=$arch
  if [ "$arch" = win64 ]; then
    WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
  else
    WINE=wine WINESERVER=wineserver
  fi
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
  if [ -f "$bench/display" ]; then export DISPLAY=":$(cat "$bench/display")"; fi
}

stop_bench() {
  bench_env
  "$WINESERVER" -k 2>/dev/null || true
  # Wait for the server to be gone so nothing of the bench outlives it.
  timeout 10 "$WINESERVER" -w 2>/dev/null || true
  if [ -f "$bench/xvfb.pid" ]; then
    kill "$(cat "$bench/xvfb.pid")" 2>/dev/null || true
    rm -f "$bench/xvfb.pid"
  fi
  rm -f "$bench/display"
}

case "$cmd" in
start)
  echo "${1:-win32}" >"$bench/arch"
  stop_bench
  n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$bench/xvfb.log" 2>&1 &
  echo $! >"$bench/xvfb.pid"
  echo "$n" >"$bench/display"
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  [ -e "/tmp/.X11-unix/X$n" ] || { echo "Xvfb did not start"; cat "$bench/xvfb.log"; exit 1; }
  bench_env
  fresh=0
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "making the Wine prefix (once per build tree)"
    SECONDS=0
    "$WINE" wineboot -i </dev/null >"$bench/wineboot.log" 2>&1
    # Let the server that made the prefix end before the bench's own starts.
    timeout 30 "$WINESERVER" -w 2>/dev/null || true
    echo "prefix made in $SECONDS s"
    fresh=1
  fi
  setsid "$WINESERVER" -p </dev/null >/dev/null 2>&1 &
  # The first program after a server start waits for the prefix's services; take that wait here.
  "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
  if [ $fresh -eq 1 ]; then
    # No crash dialog: a crashing test must fail, not wait for a click. Xvfb has no window
    # manager: Wine draws the captions and frames itself.
    for key in 'HKCU\Software\Wine\WineDbg|ShowCrashDialog|REG_DWORD|0' \
               'HKCU\Software\Wine\X11 Driver|Decorated|REG_SZ|N'; do
      IFS='|' read -r path name type value <<<"$key"
      for _ in 1 2 3; do
        "$WINE" reg add "$path" /v "$name" /t "$type" /d "$value" /f </dev/null >/dev/null 2>&1 && break
        sleep 1
      done || true
    done
  fi
  echo "bench ready on display :$n"
  ;;
run)
  bench_env
  [ -n "${DISPLAY:-}" ] || { echo "the bench is not started"; exit 1; }
  exe=$1; shift
  exec "$WINE" "$exe" "$@" </dev/null
  ;;
env)
  bench_env
  for v in WINE WINESERVER WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES LANG LC_ALL DISPLAY; do
    [ -n "${!v:-}" ] && printf 'export %s=%q\n' "$v" "${!v}"
  done
  ;;
stop)
  stop_bench
  ;;
*)
  echo "usage: $0 start|run|env|stop BENCH_DIR ..." >&2; exit 2 ;;
esac
