#!/usr/bin/env bash
# The 32-bit console program under WOW64 (a 64-bit Wine machine) meets a
# 64-bit memory target that a "kill" record names: it says it cannot
# examine that process and names the 64-bit build (in the log and among
# the run report's processes not examined), and leaves it running.
# Usage: wow64_memory_test.sh BUILD_WIN BUILD_WIN64 HOST_MENDRIX_DAT
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
WINE_DIR="$HERE/../../wine"
WIN="$(cd "$1" && pwd)"
WIN64="$(cd "$2" 2>/dev/null && pwd)" || { echo "FAIL: no 64-bit tree at $2 (scripts/build.sh builds it)"; exit 1; }
DAT_TOOL="$3"
for f in "$WIN/mendrix-cli.exe" "$WIN64/standin/memory_target.exe" "$WIN64/standin/target_lib.dll"; do
  [ -f "$f" ] || { echo "FAIL: $f is missing (scripts/build.sh builds it)"; exit 1; }
done
# shellcheck source=../../wine/wine-env.sh
source "$WINE_DIR/wine-env.sh"

"$WINE_DIR/make-template-prefix.sh" "$WIN64"
PREFIX="$WIN/wine/prefixes/memory_wow64"
rm -rf "$PREFIX"; cp -a "$WIN64/wine/template" "$PREFIX"
C="$PREFIX/drive_c/mendrix"
mkdir -p "$C"
cp "$WIN/mendrix-cli.exe" "$WIN64/standin/memory_target.exe" "$WIN64/standin/target_lib.dll" "$C/"
cat >"$C/memory.xml" <<'XML'
<CLEANER DataFile="Memory.Test" Version="1" Type="Virus"><IDENTITY GenericName="MemTest"><MEMORY>
<PROCESS ProcessName="memory_target.exe"><ACTION>kill</ACTION></PROCESS>
</MEMORY></IDENTITY></CLEANER>
XML
"$DAT_TOOL" build "$C/memory.xml" "$C/memory.dat" >/dev/null

mendrix_wine_env "$WIN64" "$PREFIX"
cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$PREFIX"; }
trap cleanup EXIT
cd "$C"
wine 'C:\mendrix\memory_target.exe' 'C:\mendrix\target.txt' </dev/null >/dev/null 2>&1 &
for _ in $(seq 100); do grep -q ready target.txt 2>/dev/null && break; sleep 0.1; done
grep -q ready target.txt || { echo "FAIL: the 64-bit target did not start"; exit 1; }
pid="$(tr -d '\r' <target.txt | sed -n 's/^pid //p')"
wine 'C:\mendrix\mendrix-cli.exe' -noc '-df=C:\mendrix\memory.dat' '-lf=C:\mendrix\run.log' \
  '-json=C:\mendrix\report.json' </dev/null >/dev/null 2>&1 || true
log="$(tr -d '\r' <run.log)"

fails=0
expect="Could not examine 64-bit process. Process ID: $pid. Run the 64-bit build"
if grep -qF "$expect" <<<"$log"; then echo "ok: the 64-bit target $pid is named"; else
  echo "FAIL: no line '$expect' in the log:"; echo "$log"; fails=1; fi
if grep -q "Processes found                     : 0" <<<"$log"; then echo "ok: nothing found"; else
  echo "FAIL: the 64-bit target was acted on:"; echo "$log"; fails=1; fi
# The report is written with two spaces of indent, one member a line.
if grep -A1 -F "\"subject\": \"process ID $pid\"" report.json 2>/dev/null | grep -q '"reason": ".*64-bit build'; then
  echo "ok: the report names the 64-bit target as not examined"; else
  echo "FAIL: the report does not name process ID $pid as not examined:"; cat report.json 2>/dev/null; fails=1; fi
if grep -q detach target.txt; then echo "FAIL: the target was ended"; fails=1; else echo "ok: the target runs on"; fi
exit $fails
