#!/usr/bin/env bash
# The 32-bit console program under WOW64 (a 64-bit Wine machine) leaves a
# file in use for the restart only where the restart will find that same
# file. In the system folder it sees the 32-bit twin under the 64-bit
# file's name: Windows starting would delete the 64-bit file instead, so
# that one is not scheduled. The same file elsewhere is. After Wine's
# restart both system files are still there and the other one is gone.
# Usage: wow64_restart_test.sh BUILD_WIN BUILD_WIN64 HOST_DAT
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
WIN="$(cd "$1" && pwd)"
WIN64="$(cd "$2" 2>/dev/null && pwd)" || { echo "FAIL: no 64-bit tree at $2 (scripts/build.sh builds it)"; exit 1; }
DAT="$3"
# shellcheck source=wine-env.sh
source "$HERE/wine-env.sh"

"$HERE/make-template-prefix.sh" "$WIN64"
prefix="$WIN/wine/prefixes/wow64_restart"
mendrix_copy_prefix "$WIN64/wine/template" "$prefix"
app="$prefix/drive_c/mendrix"
windows="$prefix/drive_c/windows"
mkdir -p "$app" "$prefix/drive_c/mdxplain"
cp "$WIN/mendrix-cli.exe" "$WIN/gui_probe.exe" "$app/"
printf 'the 64-bit system file' >"$windows/system32/mdxtwin.dll"
printf 'the 32-bit twin' >"$windows/syswow64/mdxtwin.dll"
printf 'the 32-bit twin' >"$prefix/drive_c/mdxplain/mdxtwin.dll"
cat >"$app/twin.xml" <<'EOF'
<CLEANER DataFile="Twin" Version="1" Type="Trojan"><IDENTITY GenericName="Twin"><DISK>
<DIRECTORY>system</DIRECTORY><DIRECTORY>C:\mdxplain</DIRECTORY>
<FILE FileName="mdxtwin.dll"><ACTION>delete</ACTION></FILE>
</DISK></IDENTITY></CLEANER>
EOF
"$DAT" build "$app/twin.xml" "$app/twin.dat"

fails=0
fail() { echo "FAIL: $*"; fails=1; }
holders=()
cleanup() {
  for pid in "${holders[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k >/dev/null 2>&1 || true
  if [ $fails -eq 0 ]; then rm -rf "$prefix"; else echo "prefix kept for a look: $prefix" >&2; fi
}
trap cleanup EXIT

mendrix_wine_env "$WIN64" "$prefix"
cd "$app"
# Held by 32-bit programs, which see the system folder's twin, as the scan does.
for file in 'C:\windows\system32\mdxtwin.dll' 'C:\mdxplain\mdxtwin.dll'; do
  wine 'C:\mendrix\gui_probe.exe' hold "$file" 120 >/dev/null 2>&1 &
  holders+=($!)
done
for _ in $(seq 150); do
  [ -e "$windows/syswow64/mdxtwin.dll.held" ] && [ -e "$prefix/drive_c/mdxplain/mdxtwin.dll.held" ] && break
  sleep 0.1
done
[ -e "$prefix/drive_c/mdxplain/mdxtwin.dll.held" ] || fail "the files are not held"

set +e
wine 'C:\mendrix\mendrix-cli.exe' -noc '-df=C:\mendrix\twin.dat' '-lf=C:\mendrix\run.log' </dev/null >/dev/null 2>&1
code=$?
set -e
log="$(tr -d '\r' <"$app/run.log")"
# 3010 as the host sees a Windows exit code: its low eight bits.
[ "$code" = $((3010 & 255)) ] || fail "exit code $code, expected 3010 (194 on the host)"
n="$(grep -c '^File deletion failed$' <<<"$log" || true)"
[ "$n" = 2 ] || fail "$n deletions failed, expected both"
n="$(grep -c '^File will be removed when Windows restarts$' <<<"$log" || true)"
[ "$n" = 1 ] || fail "$n files scheduled, expected the one outside the system folder"
grep -A3 -F 'found in file C:\mdxplain\mdxtwin.dll' <<<"$log" | grep -q '^File will be removed' ||
  fail "the file outside the system folder is not the one scheduled"

# The holders let go first. A 64-bit machine runs a 32-bit program behind a
# starter of its own: the program itself is ended, and the starters follow.
wine taskkill /f /im gui_probe.exe >/dev/null 2>&1 || true
for pid in "${holders[@]}"; do wait "$pid" 2>/dev/null || true; done
holders=()
wine wineboot.exe -r >/dev/null 2>&1 || fail "wineboot -r failed"
[ "$(cat "$windows/system32/mdxtwin.dll" 2>/dev/null)" = 'the 64-bit system file' ] ||
  fail "the restart removed the 64-bit system file"
[ -e "$windows/syswow64/mdxtwin.dll" ] || fail "the restart removed the 32-bit twin, never scheduled"
[ ! -e "$prefix/drive_c/mdxplain/mdxtwin.dll" ] || fail "the scheduled file is still there after the restart"
[ $fails -eq 0 ] && echo "ok: under WOW64 only the file the restart will find is left for it"
exit $fails
