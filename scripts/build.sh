#!/usr/bin/env bash
# Builds both trees: native (build/native) and 32-bit Windows (build/win).
# Incremental: a second run rebuilds only what changed.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${MENDRIX_BUILD:-$ROOT/build}"

bash "$ROOT/scripts/install-deps.sh"
EXPAT_PREFIX="$(bash "$ROOT/scripts/build-expat-win.sh" | tail -1)"

if [ ! -f "$BUILD/native/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD/native" -G Ninja \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD/native"

if [ ! -f "$BUILD/win/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD/win" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMENDRIX_EXPAT_PREFIX="$EXPAT_PREFIX" \
    -DMENDRIX_HOST_DAT="$BUILD/native/mendrix-dat"
fi
cmake --build "$BUILD/win"
