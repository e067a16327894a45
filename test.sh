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
total_passed=0
total_failed=0

run_ctest() {
  local dir=$1 label=$2
  local log="$dir/ctest.log"
  ctest --test-dir "$dir" --output-on-failure 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed|tests failed' "$log" | tail -n 1)
  summaries+=("$label: ${line:-no ctest summary}")
  if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    total_failed=$((total_failed + BASH_REMATCH[1]))
    total_passed=$((total_passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  else
    total_failed=$((total_failed + 1))
  fi
  [ "$rc" -eq 0 ] || failed=1
}

set -e
build_host build/host OFF
build_host build/host-asan ON
# The shipped program: 32-bit, the default settings.
# Tests are built here too, so 32-bit-only compile errors show even where they cannot run.
build_win build/win i686 ON
if [ "$test_arch" = x86_64 ]; then
  build_win build/win64 x86_64 ON
  win_tree=build/win64
else
  win_tree=build/win
fi
set +e

run_ctest build/host "host"
ASAN_OPTIONS=detect_leaks=1 run_ctest build/host-asan "host, ASan+UBSan"
if ./scripts/check-program.sh build/win/src/quorvel.exe; then
  summaries+=("program check: passed")
  total_passed=$((total_passed + 1))
else
  summaries+=("program check: FAILED")
  total_failed=$((total_failed + 1))
  failed=1
fi
run_ctest "$win_tree" "Windows under Wine ($test_arch)"

echo
echo "== summary =="
printf '%s\n' "${summaries[@]}"
echo "$total_passed passed, $total_failed failed"
exit $failed
