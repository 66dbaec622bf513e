#!/usr/bin/env bash
# Runs one Windows test program in a fresh copy of the build's template Wine
# prefix. The programs named after it are copied into C:\mendrix beside it.
# Usage: run-in-prefix.sh BUILD_DIR NAME TEST_EXE [FILE...]
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
# Windows need a display: without one, run again under a virtual one.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a bash "$HERE/run-in-prefix.sh" "$@"
fi
BUILD="$1"; NAME="$2"; EXE="$3"; shift 3

"$HERE/make-template-prefix.sh" "$BUILD"

# shellcheck source=wine-env.sh
source "$HERE/wine-env.sh"
PREFIX="$BUILD/wine/prefixes/$NAME"
mendrix_copy_prefix "$BUILD/wine/template" "$PREFIX"
mkdir -p "$PREFIX/drive_c/mendrix"
cp "$EXE" "$PREFIX/drive_c/mendrix/"
for f in "$@"; do cp "$f" "$PREFIX/drive_c/mendrix/"; done

mendrix_wine_env "$BUILD" "$PREFIX"
# A passing test's prefix is removed; a failing one is kept to look into.
status=1
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ $status -eq 0 ]; then rm -rf "$PREFIX"; else echo "prefix kept for a look: $PREFIX" >&2; fi
}
trap cleanup EXIT

cd "$PREFIX/drive_c/mendrix"
set +e
wine "C:\\mendrix\\$(basename "$EXE")" --gtest_brief=1
status=$?
exit $status
