#!/usr/bin/env bash
# Builds Expat for Windows (ARCH i686 or x86_64, default i686) from Debian's
# own source package into a cache outside the repository. Prints the install
# prefix on its last line.
# Usage: build-expat-win.sh [ARCH]
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
ARCH="${1:-i686}"
TOOLCHAIN="$ROOT/cmake/toolchain-mingw-$ARCH.cmake"
[ -f "$TOOLCHAIN" ] || { echo "build-expat-win: no toolchain for '$ARCH'" >&2; exit 1; }
CACHE="${MENDRIX_CACHE:-$HOME/.cache/mendrix}"
mkdir -p "$CACHE"
# One build at a time: the two architectures share the unpacked source.
exec 8>"$CACHE/.expat.lock"
flock 8
PREFIX="$CACHE/expat-$ARCH"
STAMP="$PREFIX/.built"

if [ -f "$STAMP" ] && [ -f "$PREFIX/lib/libexpat.a" ]; then
  echo "$PREFIX"
  exit 0
fi

SRC_PARENT="$CACHE/expat-src"
if ! ls -d "$SRC_PARENT"/expat-*/ >/dev/null 2>&1; then
  rm -rf "$SRC_PARENT"
  mkdir -p "$SRC_PARENT"
  if ! (cd "$SRC_PARENT" && apt-get source -qq "expat/$(. /etc/os-release; echo "${VERSION_CODENAME:-bookworm}")" >&2); then
    echo "build-expat-win: could not fetch Debian's expat source package (is a deb-src entry set up? scripts/install-deps.sh adds one)" >&2
    exit 1
  fi
fi
SRC="$(ls -d "$SRC_PARENT"/expat-*/ | head -1)"
# Debian's source keeps the library under expat/ in some releases.
if [ -f "$SRC/expat/CMakeLists.txt" ]; then SRC="$SRC/expat"; fi

BUILD="$CACHE/expat-build-$ARCH"
rm -rf "$BUILD"
cmake -S "$SRC" -B "$BUILD" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$PREFIX" \
  -DEXPAT_SHARED_LIBS=OFF \
  -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF \
  -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF -DEXPAT_MSVC_STATIC_CRT=OFF >&2
# Debian's patches test "XML_DTD == 1", as its autotools build defines it;
# CMake's configuration header defines the macro empty.
sed -i 's/^#define XML_DTD *$/#define XML_DTD 1/; s/^#define XML_NS *$/#define XML_NS 1/' "$BUILD/expat_config.h"
cmake --build "$BUILD" >&2
cmake --install "$BUILD" >&2
# Static builds name the archive differently across versions; settle on one.
if [ ! -f "$PREFIX/lib/libexpat.a" ]; then
  a="$(ls "$PREFIX"/lib/libexpat*.a | head -1)"
  cp "$a" "$PREFIX/lib/libexpat.a"
fi
touch "$STAMP"
echo "$PREFIX"
