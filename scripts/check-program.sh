#!/usr/bin/env bash
# Checks the shipped program: a 32-bit (PE32, i386) Windows GUI executable that needs no DLL
# beyond those of Windows itself. Prints its size.
set -euo pipefail
exe=$1
objdump=i686-w64-mingw32-objdump
fail() { echo "program check failed: $*"; exit 1; }

[ -f "$exe" ] || fail "$exe is missing"
head=$($objdump -f "$exe")
grep -q 'file format pei-i386' <<<"$head" || fail "not a PE32 i386 file: $head"
headers=$($objdump -p "$exe")
grep -qE '^Magic[[:space:]]+010b' <<<"$headers" || fail "not a PE32 (32-bit) optional header"
grep -qE '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not a Windows GUI program"
dlls=$(grep -E 'DLL Name:' <<<"$headers" | awk '{print tolower($3)}' | sort -u)
system_dlls='^(kernel32|user32|gdi32|comctl32|comdlg32|advapi32|shell32|iphlpapi|ws2_32|wininet|msvcrt|ole32)\.dll$'
while read -r d; do
  [ -z "$d" ] && continue
  grep -qE "$system_dlls" <<<"$d" || fail "imports $d, which Windows does not provide"
done <<<"$dlls"
echo "program check: $exe is PE32 i386 GUI, imports: $(echo $dlls), size $(stat -c %s "$exe") bytes"
