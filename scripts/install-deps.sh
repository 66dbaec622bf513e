#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine.
# Idempotent: does nothing when every package is already present.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps: not root and no sudo: cannot install packages" >&2
    exit 1
  fi
  SUDO="sudo"
fi

PACKAGES=(
  build-essential cmake ninja-build pkg-config dpkg-dev binutils
  mingw-w64 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  clang libclang-rt-14-dev
  googletest nlohmann-json3-dev
  wine wine64 fonts-wine
  xvfb xauth xdotool openbox x11-apps imagemagick
  libexpat1-dev
  libhivex-dev python3-hivex libwin-hivex-perl ntfs-3g
)
# The 32-bit Wine loader and libraries are installed on every machine: the
# 32-bit programs are built everywhere, even where the kernel cannot run them.
PACKAGES+=(wine32:i386)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi

# Source packages: the Windows build compiles Debian's own Expat source.
# The deb-src entry copies the machine's own archive entries, so it follows
# whatever mirror the machine is set up with.
SRCLIST=/etc/apt/sources.list.d/mendrix-src.sources
if [ ! -f "$SRCLIST" ]; then
  entry="$(bash "$ROOT/scripts/deb-src-entry.sh")"
  if [ -z "$entry" ]; then
    echo "install-deps: found no Debian archive entry in /etc/apt to copy as deb-src" >&2
    exit 1
  fi
  printf '%s\n' "$entry" | $SUDO tee "$SRCLIST" >/dev/null
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  $SUDO apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
