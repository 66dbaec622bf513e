# Sourced by every script that runs Windows programs under Wine. Picks the
# loader and the kind of prefix a build tree needs: build/win holds 32-bit
# programs (a win32 prefix, the 32-bit loader), build/win64 holds 64-bit ones
# (a win64 prefix, the 64-bit loader). Debian's `wine` command picks the
# 32-bit loader whenever it is installed, so the loader is called by path.
# Usage: mendrix_wine_env BUILD_TREE PREFIX; then `wine ...` runs in PREFIX.
mendrix_wine_env() {
  local arch
  arch="$(cat "$1/wine-arch" 2>/dev/null || true)"
  case "$arch" in
    win32) WINELOADER=/usr/lib/wine/wine ;;
    win64) WINELOADER=/usr/lib/wine/wine64 ;;
    *) echo "$1 is not a Windows build tree (no wine-arch file)" >&2; return 1 ;;
  esac
  if [ ! -x "$WINELOADER" ]; then
    echo "the Wine loader $WINELOADER is not installed (scripts/install-deps.sh installs it)" >&2
    return 1
  fi
  export WINEPREFIX="$2" WINEARCH="$arch" WINELOADER WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
}

wine() { "$WINELOADER" "$@"; }

# Copies a template prefix for one test. Wine's own DLLs and programs, most
# of a prefix's size (1.3 GB in a win64 one), are hard links to the
# template's: tests add and remove files there but never rewrite Wine's.
# Usage: mendrix_copy_prefix TEMPLATE PREFIX
mendrix_copy_prefix() {
  rm -rf "$2"
  mkdir -p "$(dirname "$2")"
  local d
  local shared=(drive_c/windows/system32 drive_c/windows/syswow64 drive_c/windows/winsxs)
  local skip=()
  for d in "${shared[@]}"; do skip+=(--exclude="./$d"); done
  (cd "$1" && tar cf - "${skip[@]}" .) | (mkdir -p "$2" && cd "$2" && tar xf -)
  for d in "${shared[@]}"; do
    if [ -d "$1/$d" ]; then cp -al "$1/$d" "$2/$d"; fi
  done
}
