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
# One Wine server for the whole demo, so the sample service keeps running
# between the commands that set it up and the run that removes it.
wineserver -p
cd "$DEMO/drive_c"

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

# The sample's settings: a Run value and a win.ini load= entry naming it
# (NT keeps win.ini's [windows] section in the registry, as Wine does), and
# a running service MxSample, a program of the project's own that only runs.
RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
WININI_KEY='HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows'
wine reg add "$RUN_KEY" /v MxSample /d 'C:\windows\mxsample.exe' /f >/dev/null 2>&1
wine reg add "$RUN_KEY" /v Decoy /d 'C:\windows\notepad.exe' /f >/dev/null 2>&1
wine reg add "$WININI_KEY" /v load /d 'C:\windows\mxsample.exe' /f >/dev/null 2>&1
cp "$TREE/standin_service.exe" "$DEMO/drive_c/windows/mxsamplesvc.exe"
wine sc create MxSample binpath= 'C:\windows\mxsamplesvc.exe' >/dev/null 2>&1
wine sc start MxSample >/dev/null 2>&1
# A Wine process shows its Windows command line to the host's ps.
sample_running() { pgrep -f 'MxSample.mxsample\.exe' >/dev/null; }
# And the sample's process: a program of the project's own that only runs,
# with a known marker in its image, started from where no DISK looks.
PROCESS_DIR="$DEMO/drive_c/Program Files/MxSample"
mkdir -p "$PROCESS_DIR"
cp "$TREE/standin/memory_target.exe" "$PROCESS_DIR/mxsample.exe"
cp "$TREE/standin/target_lib.dll" "$PROCESS_DIR/"
(cd "$PROCESS_DIR" && wine start /b 'C:\Program Files\MxSample\mxsample.exe' 'C:\windows\temp\mxsample.report' \
   >/dev/null 2>&1)
for _ in $(seq 50); do sample_running && break; sleep 0.1; done

list_samples() {
  # The running sample writes mxsample.report itself: it is not a sample file.
  (cd "$DEMO/drive_c" && find . -iname 'mxsample.*' ! -iname 'mxsample.report' | sed 's|^\./|  C:/|' | sort)
}
# The sample's settings as they stand: what reg and sc say, one line each.
list_settings() {
  (wine reg query "$RUN_KEY" 2>/dev/null || true) | tr -d '\r' | sed -n 's/^ *\(.*REG_.*\)/  Run: \1/p'
  (wine reg query "$WININI_KEY" /v load 2>/dev/null || true) | tr -d '\r' |
    sed -n 's/^ *\(.*REG_.*\)/  win.ini [windows]: \1/p'
  if wine sc query MxSample 2>/dev/null | tr -d '\r' | grep -q STATE; then
    echo "  service MxSample: $(wine sc query MxSample | tr -d '\r' | grep STATE | sed 's/.*: *[0-9]* *//')"
  else
    echo "  service MxSample: not installed"
  fi
  if sample_running; then echo "  process mxsample.exe: running"; else echo "  process mxsample.exe: not running"; fi
}
echo "== sample files before the run:"
list_samples
echo "== sample settings before the run:"
list_settings

echo "== first a report-only run: mendrix-cli.exe -reportonly, which changes nothing"
set +e
(cd "$DEMO/drive_c/mendrix" && wine 'C:\mendrix\mendrix-cli.exe' -reportonly -lf='C:\mendrix-report-only.log' \
  -json='C:\mendrix-report-only.json' </dev/null | tr -d '\r' | grep -E '^Would |^Report-only run')
set -e
echo "== sample files after the report-only run (all still there):"
list_samples
echo "== sample settings after the report-only run (all still there):"
list_settings

echo "== running mendrix-cli.exe -noc -json=C:\\mendrix-run.json in the demo machine"
set +e
(cd "$DEMO/drive_c/mendrix" && wine 'C:\mendrix\mendrix-cli.exe' -noc -lf='C:\mendrix.log' \
  -json='C:\mendrix-run.json' </dev/null)
result=$?
set -e
echo
echo "== exit code: $result"
echo "== sample files after the run (only the decoy without the marker may remain):"
list_samples
echo "== sample settings after the run (only the decoy Run value may remain):"
list_settings
echo "== C:\\mendrix.log:"
tr -d '\r' < "$DEMO/drive_c/mendrix.log"
echo "== C:\\mendrix-run.json, the run's report for fleet tools (docs/run-report.md):"
cat "$DEMO/drive_c/mendrix-run.json"
