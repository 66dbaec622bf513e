#!/usr/bin/env bash
# Builds the programs, then runs the console front end with its embedded
# sample data file in a fresh demo Wine machine and prints the log.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${MENDRIX_BUILD:-$ROOT/build}"

bash "$ROOT/scripts/build.sh" >/dev/null

# The 32-bit program is the product; where this machine cannot run 32-bit
# code, the 64-bit one shows the same run.
set +e
runs32="$(bash "$ROOT/scripts/runs-32bit.sh")"
set -e
if [ "$runs32" = "yes" ]; then
  TREE="$BUILD/win"
  echo "== running the 32-bit program (build/win/mendrix-cli.exe) in a 32-bit Wine machine"
else
  TREE="$BUILD/win64"
  echo "== running the 64-bit program (build/win64/mendrix-cli.exe) in a 64-bit Wine machine:"
  echo "   the 32-bit one cannot run here (${runs32#no: })"
fi
"$ROOT/tests/wine/make-template-prefix.sh" "$TREE"

# shellcheck source=../tests/wine/wine-env.sh
source "$ROOT/tests/wine/wine-env.sh"
DEMO="$TREE/wine/demo"
mendrix_copy_prefix "$TREE/wine/template" "$DEMO"
mkdir -p "$DEMO/drive_c/mendrix"
cp "$TREE/mendrix-cli.exe" "$DEMO/drive_c/mendrix/"
mendrix_wine_env "$TREE" "$DEMO"
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
