#!/usr/bin/env bash
# Prints figures for the start-up, the extraction (beside Info-ZIP's unzip of the same archive,
# in the same run) and the program's size. Judges nothing. Usage: scripts/bench.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}
./scripts/install-deps.sh >/dev/null
. scripts/build-lib.sh
arch=$(wine_test_arch)
build_win build/win i686 ON >/dev/null
if [ "$arch" = i686 ]; then tree=build/win; else tree=build/win64; build_win build/win64 x86_64 ON >/dev/null; fi

archive=$PWD/$tree/tool_archive.zip
bench=$PWD/$tree/bench-figures
./scripts/wine-bench.sh start "$bench" "$([ "$arch" = i686 ] && echo win32 || echo win64)" >/dev/null
trap './scripts/wine-bench.sh stop "$bench" >/dev/null' EXIT
eval "$(./scripts/wine-bench.sh env "$bench")"

echo "== quorvel start-up ($tree, under Wine, $runs runs) =="
"$WINE" "$PWD/$tree/tools/bench/startup_bench.exe" "$PWD/$tree/src/quorvel_loopback.exe" "Z:${archive//\//\\}" "$runs" </dev/null

echo "== unzip of the same archive (native Info-ZIP, $runs runs) =="
out=$(mktemp -d)
times=()
for _ in $(seq "$runs"); do
  rm -rf "$out/ffutool"
  s=$(date +%s%N); unzip -q -o "$archive" -d "$out"; e=$(date +%s%N)
  times+=($(( (e - s) / 1000 )))
done
rm -rf "$out"
printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "unzip:                                  median %8.1f ms (min %.1f)\n", a[int(NR/2)+1]/1000, a[1]/1000}'

echo "== console bridge and output pump ($tree, under Wine) =="
emit=$PWD/$tree/tests/win/emit.exe
"$WINE" "$PWD/$tree/tools/bench/console_bench.exe" "Z:${emit//\//\\}" 20 1000 </dev/null

echo "== sizes =="
echo "quorvel.exe (shipped, i686): $(stat -c %s build/win/src/quorvel.exe) bytes"
echo "tool archive embedded:       $(stat -c %s "$archive") bytes"
