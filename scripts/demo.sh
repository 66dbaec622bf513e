#!/usr/bin/env bash
# Builds the programs, then runs the console front end with its embedded
# sample data file in a fresh demo Wine machine and prints the log.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${MENDRIX_BUILD:-$ROOT/build}"

bash "$ROOT/scripts/build.sh" >/dev/null
"$ROOT/tests/wine/make-template-prefix.sh" "$BUILD"

DEMO="$BUILD/wine/demo"
rm -rf "$DEMO"
cp -a "$BUILD/wine/template" "$DEMO"
mkdir -p "$DEMO/drive_c/mendrix"
cp "$BUILD/win/mendrix-cli.exe" "$DEMO/drive_c/mendrix/"

export WINEPREFIX="$DEMO" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

echo "== running mendrix-cli.exe -noc in the demo machine"
set +e
(cd "$DEMO/drive_c/mendrix" && wine 'C:\mendrix\mendrix-cli.exe' -noc -lf='C:\mendrix.log' </dev/null)
result=$?
set -e
echo
echo "== exit code: $result"
echo "== C:\\mendrix.log:"
tr -d '\r' < "$DEMO/drive_c/mendrix.log"
