#!/usr/bin/env bash
# Benchmark (not a test): builds the directory walk benchmark and runs it in
# a fresh copy of the template Wine prefix, which it removes afterwards.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${MENDRIX_BUILD:-$ROOT/build}"

bash "$ROOT/scripts/build.sh" >/dev/null
cmake --build "$BUILD/win" --target disk_walk_bench >/dev/null

"$ROOT/tests/wine/make-template-prefix.sh" "$BUILD/win"
PREFIX="$BUILD/win/wine/prefixes/disk_walk_bench"
rm -rf "$PREFIX"
mkdir -p "$(dirname "$PREFIX")"
cp -a "$BUILD/win/wine/template" "$PREFIX"
mkdir -p "$PREFIX/drive_c/mendrix"
cp "$BUILD/win/disk_walk_bench.exe" "$PREFIX/drive_c/mendrix/"

# shellcheck source=../tests/wine/wine-env.sh
source "$ROOT/tests/wine/wine-env.sh"
mendrix_wine_env "$BUILD/win" "$PREFIX"
cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$PREFIX"; }
trap cleanup EXIT

cd "$PREFIX/drive_c/mendrix"
wine 'C:\mendrix\disk_walk_bench.exe'
