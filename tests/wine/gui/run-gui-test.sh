#!/usr/bin/env bash
# Runs one shell-driven test group of the windowed program in a fresh copy of
# the build's template Wine prefix: the group's script starts mendrix.exe,
# types at it with xdotool, looks at it with gui_probe.exe and takes
# screenshots into BUILD_DIR/gui-screenshots/NAME.
# Usage: run-gui-test.sh BUILD_DIR NAME GROUP_SCRIPT MENDRIX_EXE PROBE_EXE HOST_DAT
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
BUILD="$1"; NAME="$2"; GROUP="$3"; MENDRIX_EXE="$4"; PROBE_EXE="$5"; HOST_DAT="$6"

"$HERE/../make-template-prefix.sh" "$BUILD"

# shellcheck source=../wine-env.sh
source "$HERE/../wine-env.sh"
PREFIX="$BUILD/wine/prefixes/$NAME"
mendrix_copy_prefix "$BUILD/wine/template" "$PREFIX"
APP="$PREFIX/drive_c/mendrix"
mkdir -p "$APP"
cp "$MENDRIX_EXE" "$PROBE_EXE" "$APP/"

SHOTS="$BUILD/gui-screenshots/$NAME"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
WORK="$(mktemp -d)"
XVFB_PID=""
passed=0
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
  # A passing group's prefix is removed; a failing one is kept to look into.
  if [ $passed -eq 1 ]; then rm -rf "$PREFIX"; fi
}
trap cleanup EXIT

# A display of its own: keyboard focus and window searches of one group must
# not meet another test's windows. Xvfb picks a free number itself, so groups
# started together cannot take the same one. Screenshots need true colour.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.05; done
[ -s "$WORK/display" ] || { echo "FAIL: no virtual display" >&2; exit 1; }
export DISPLAY=":$(cat "$WORK/display")"

mendrix_wine_env "$BUILD" "$PREFIX"
# One server for the whole group: each program then starts in a blink.
wineserver -p

cd "$APP"
# shellcheck source=gui_lib.sh
source "$HERE/gui_lib.sh"
park_pointer
# shellcheck disable=SC1090
source "$GROUP"
passed=1
echo "PASS $NAME in ${SECONDS}s"
