#!/usr/bin/env bash
# Runs one shell-driven test group of the windowed program in a fresh copy of
# the build's template Wine prefix: the group's script starts mendrix.exe,
# types at it with xdotool, looks at it with gui_probe.exe and takes
# screenshots into BUILD_DIR/gui-screenshots/NAME.
# Usage: run-gui-test.sh BUILD_DIR NAME GROUP_SCRIPT MENDRIX_EXE PROBE_EXE HOST_DAT
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
# A display of its own: keyboard focus and window searches of one group must
# not meet another test's windows. Screenshots need true colour.
if [ -z "${MENDRIX_GUI_DISPLAY:-}" ]; then
  export MENDRIX_GUI_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$HERE/run-gui-test.sh" "$@"
fi
BUILD="$1"; NAME="$2"; GROUP="$3"; MENDRIX_EXE="$4"; PROBE_EXE="$5"; HOST_DAT="$6"

"$HERE/../make-template-prefix.sh" "$BUILD"

PREFIX="$BUILD/wine/prefixes/$NAME"
rm -rf "$PREFIX"
mkdir -p "$(dirname "$PREFIX")"
cp -a "$BUILD/wine/template" "$PREFIX"
# Wine's own fonts draw the caption buttons; without them the screenshots
# show letters there.
if [ -d /usr/share/wine/fonts ]; then
  cp /usr/share/wine/fonts/*.ttf "$PREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi
APP="$PREFIX/drive_c/mendrix"
mkdir -p "$APP"
cp "$MENDRIX_EXE" "$PROBE_EXE" "$APP/"

SHOTS="$BUILD/gui-screenshots/$NAME"
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
WORK="$(mktemp -d)"

export WINEPREFIX="$PREFIX" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WORK"
}
trap cleanup EXIT
# One server for the whole group: each program then starts in a blink.
wineserver -p

cd "$APP"
# shellcheck source=gui_lib.sh
source "$HERE/gui_lib.sh"
park_pointer
# shellcheck disable=SC1090
source "$GROUP"
echo "PASS $NAME in ${SECONDS}s"
