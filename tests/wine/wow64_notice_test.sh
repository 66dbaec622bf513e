#!/usr/bin/env bash
# The 32-bit console program under WOW64 (a 64-bit Wine machine) writes the
# 32-bit-view notice once in its log; the 64-bit program in the same machine,
# and the 32-bit one in a 32-bit machine, write none.
# Usage: wow64_notice_test.sh BUILD_WIN BUILD_WIN64
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
WIN="$(cd "$1" && pwd)"
WIN64="$(cd "$2" 2>/dev/null && pwd)" || { echo "FAIL: no 64-bit tree at $2 (scripts/build.sh builds it)"; exit 1; }
# shellcheck source=wine-env.sh
source "$HERE/wine-env.sh"
NOTICE="This 32-bit program is running on 64-bit Windows"
fails=0

# run_cli TREE_OF_PREFIX CLI_EXE NAME: runs the program with the embedded
# sample data in a fresh prefix of that tree; prints the log.
run_cli() {
  local tree="$1" exe="$2" name="$3"
  "$HERE/make-template-prefix.sh" "$tree"
  local prefix="$WIN/wine/prefixes/$name"
  mendrix_copy_prefix "$tree/wine/template" "$prefix"
  mkdir -p "$prefix/drive_c/mendrix"; cp "$exe" "$prefix/drive_c/mendrix/"
  (
    mendrix_wine_env "$tree" "$prefix"
    cd "$prefix/drive_c/mendrix"
    wine 'C:\mendrix\mendrix-cli.exe' -noc -lf='C:\run.log' </dev/null >/dev/null 2>&1 || true
    wineserver -k >/dev/null 2>&1 || true
  )
  tr -d '\r' <"$prefix/drive_c/run.log"
  rm -rf "$prefix"
}

check() {  # NAME EXPECTED_COUNT LOG
  local n; n="$(grep -c "$NOTICE" <<<"$3" || true)"
  if [ "$n" = "$2" ]; then echo "ok: $1 ($n notice lines)"; else echo "FAIL: $1: $n notice lines, expected $2"; fails=1; fi
}

log="$(run_cli "$WIN64" "$WIN/mendrix-cli.exe" wow64_32bit)"
check "32-bit program under WOW64" 1 "$log"
grep -q "Run the 64-bit build" <<<"$log" || { echo "FAIL: the notice does not name the 64-bit build"; fails=1; }
grep -q "System scan finished" <<<"$log" || { echo "FAIL: the run under WOW64 did not finish"; fails=1; }
check "64-bit program" 0 "$(run_cli "$WIN64" "$WIN64/mendrix-cli.exe" wow64_64bit)"
check "32-bit program on 32-bit Windows" 0 "$(run_cli "$WIN" "$WIN/mendrix-cli.exe" wow64_plain32)"
exit $fails
