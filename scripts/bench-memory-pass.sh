#!/usr/bin/env bash
# Benchmark (not a test): builds the memory pass benchmark and runs it in a
# fresh copy of the template Wine prefix, which it removes afterwards. The
# tree is build/win unless one is named (win or win64).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${MENDRIX_BUILD:-$ROOT/build}"
TREE="$BUILD/${1:-win}"

bash "$ROOT/scripts/build.sh" >/dev/null
cmake --build "$TREE" --target memory_pass_bench >/dev/null

"$ROOT/tests/wine/make-template-prefix.sh" "$TREE"
PREFIX="$TREE/wine/prefixes/memory_pass_bench"
rm -rf "$PREFIX"
mkdir -p "$(dirname "$PREFIX")"
cp -a "$TREE/wine/template" "$PREFIX"
mkdir -p "$PREFIX/drive_c/mendrix"
cp "$TREE/memory_pass_bench.exe" "$PREFIX/drive_c/mendrix/"

# shellcheck source=../tests/wine/wine-env.sh
source "$ROOT/tests/wine/wine-env.sh"
mendrix_wine_env "$TREE" "$PREFIX"
cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$PREFIX"; }
trap cleanup EXIT

cd "$PREFIX/drive_c/mendrix"
wine 'C:\mendrix\memory_pass_bench.exe'
