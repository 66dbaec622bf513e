#!/usr/bin/env bash
# Builds every tree: native (build/native), 32-bit Windows (build/win, the
# product for both families) and 64-bit Windows (build/win64).
# Incremental: a second run rebuilds only what changed.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${MENDRIX_BUILD:-$ROOT/build}"

bash "$ROOT/scripts/install-deps.sh"

if [ ! -f "$BUILD/native/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD/native" -G Ninja \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD/native"

# tree folder and MinGW architecture of each Windows tree
for tree in win:i686 win64:x86_64; do
  dir="$BUILD/${tree%%:*}"; arch="${tree##*:}"
  expat="$(bash "$ROOT/scripts/build-expat-win.sh" "$arch" | tail -1)"
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DMENDRIX_EXPAT_PREFIX="$expat" \
      -DMENDRIX_HOST_DAT="$BUILD/native/mendrix-dat"
  fi
  cmake --build "$dir"
done
