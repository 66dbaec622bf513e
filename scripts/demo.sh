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

# Infect the demo machine with the harmless sample threat: marker files in
# the folders the sample script searches, and one decoy with the same name
# that the script must leave alone because it lacks the marker.
USER_DIR="$DEMO/drive_c/users/$(id -un)"
MARKER="MENDRIX-SAMPLE-MARKER: a harmless test file planted by the demo"
PLANTED=(
  "$DEMO/drive_c/windows/mxsample.exe"
  "$DEMO/drive_c/windows/system32/mxsample.txt"
  "$USER_DIR/Temp/mxsample.txt"
  "$USER_DIR/Desktop/mxsample.exe"
  "$DEMO/drive_c/users/Public/Desktop/mxsample.txt"
)
mkdir -p "$USER_DIR/Temp" "$USER_DIR/Desktop" "$DEMO/drive_c/users/Public/Desktop" "$DEMO/drive_c/windows/temp"
for f in "${PLANTED[@]}"; do printf '%s\r\n' "$MARKER" > "$f"; done
DECOY="$DEMO/drive_c/windows/temp/mxsample.txt"
printf 'an ordinary file that happens to share the name\r\n' > "$DECOY"

list_samples() {
  (cd "$DEMO/drive_c" && find . -iname 'mxsample.*' | sed 's|^\./|  C:/|' | sort)
}
echo "== sample files before the run:"
list_samples

echo "== running mendrix-cli.exe -noc in the demo machine"
set +e
(cd "$DEMO/drive_c/mendrix" && wine 'C:\mendrix\mendrix-cli.exe' -noc -lf='C:\mendrix.log' </dev/null)
result=$?
set -e
echo
echo "== exit code: $result"
echo "== sample files after the run (only the decoy without the marker may remain):"
list_samples
echo "== C:\\mendrix.log:"
tr -d '\r' < "$DEMO/drive_c/mendrix.log"
