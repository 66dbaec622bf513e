#!/usr/bin/env bash
# Runs one Windows benchmark program (not a test) in a fresh copy of a tree's
# template Wine prefix, which it removes afterwards. The tree is build/win
# where this machine runs 32-bit code, else build/win64, unless one is named.
# Programs of the tree named after the tree ("" for the default one) are
# copied beside it.
# Usage: bench-in-prefix.sh TARGET [win|win64|""] [PROGRAM...]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${MENDRIX_BUILD:-$ROOT/build}"
TARGET="$1"
TREE_NAME="${2:-}"
shift $(( $# < 2 ? $# : 2 ))
if [ -n "$TREE_NAME" ]; then
  TREE="$BUILD/$TREE_NAME"
elif bash "$ROOT/scripts/runs-32bit.sh" >/dev/null; then
  TREE="$BUILD/win"
else
  TREE="$BUILD/win64"
fi
echo "== $TARGET in $(basename "$TREE")"

bash "$ROOT/scripts/build.sh" >/dev/null
cmake --build "$TREE" --target "$TARGET" >/dev/null
"$ROOT/tests/wine/make-template-prefix.sh" "$TREE"

# shellcheck source=../tests/wine/wine-env.sh
source "$ROOT/tests/wine/wine-env.sh"
PREFIX="$TREE/wine/prefixes/$TARGET"
mendrix_copy_prefix "$TREE/wine/template" "$PREFIX"
mkdir -p "$PREFIX/drive_c/mendrix"
cp "$TREE/$TARGET.exe" "$PREFIX/drive_c/mendrix/"
for program in "$@"; do cp "$TREE/$program.exe" "$PREFIX/drive_c/mendrix/"; done
mendrix_wine_env "$TREE" "$PREFIX"
cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$PREFIX"; }
trap cleanup EXIT

cd "$PREFIX/drive_c/mendrix"
wine "C:\\mendrix\\$TARGET.exe"
