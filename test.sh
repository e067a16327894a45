#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: host first, then Windows
# under Wine. Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh || exit 1
. scripts/build-lib.sh

test_arch=$(wine_test_arch)
failed=0
summaries=()

run_ctest() {
  local dir=$1 label=$2
  local log="$dir/ctest.log"
  ctest --test-dir "$dir" --output-on-failure 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  summaries+=("$label: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
  [ "$rc" -eq 0 ] || failed=1
}

set -e
build_host build/host OFF
build_host build/host-asan ON
# The shipped program: 32-bit, the default settings.
build_win build/win i686 "$([ "$test_arch" = i686 ] && echo ON || echo OFF)"
if [ "$test_arch" = x86_64 ]; then
  build_win build/win64 x86_64 ON
  win_tree=build/win64
else
  win_tree=build/win
fi
set +e

run_ctest build/host "host"
ASAN_OPTIONS=detect_leaks=1 run_ctest build/host-asan "host, ASan+UBSan"
./scripts/check-program.sh build/win/src/quorvel.exe || failed=1
summaries+=("program checks: $([ $failed -eq 0 ] && echo passed || echo see above)")
run_ctest "$win_tree" "Windows under Wine ($test_arch)"

echo
echo "== summary =="
printf '%s\n' "${summaries[@]}"
exit $failed
