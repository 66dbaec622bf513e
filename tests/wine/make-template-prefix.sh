#!/usr/bin/env bash
# Creates a build tree's template Wine prefix once: win32 for build/win,
# win64 for build/win64. Its z: drive (the host's root) is removed, so
# nothing run inside can reach the host's files.
# Usage: make-template-prefix.sh BUILD_TREE
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
BUILD="$(cd "$1" && pwd)"
TEMPLATE="$BUILD/wine/template"
mkdir -p "$BUILD/wine"
exec 9>"$BUILD/wine/.lock"
flock 9
# The template is made again whenever this script changes.
RECIPE="$(cat "$0" "$HERE/wine-env.sh" "$BUILD/wine-arch" | sha1sum | cut -d' ' -f1)"
if [ "$(cat "$TEMPLATE/.ready" 2>/dev/null)" = "$RECIPE" ]; then exit 0; fi
rm -rf "$TEMPLATE"
# shellcheck source=wine-env.sh
source "$HERE/wine-env.sh"
mendrix_wine_env "$BUILD" "$TEMPLATE"
unset DISPLAY
LOG="$BUILD/wine/wineboot.log"
if ! wine wineboot.exe -i >"$LOG" 2>&1 || ! wineserver -w || [ ! -f "$TEMPLATE/system.reg" ]; then
  echo "could not make the $WINEARCH Wine prefix $TEMPLATE with $WINELOADER; wineboot said:" >&2
  tail -20 "$LOG" >&2
  exit 1
fi
# Without a window manager each closing window waits for one; unmanaged
# windows close at once.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w
rm -f "$TEMPLATE/dosdevices/z:"
# Wine's own fonts draw the caption buttons; Debian's Wine does not look for
# them where the package puts them.
if [ -d /usr/share/wine/fonts ]; then
  cp /usr/share/wine/fonts/*.ttf "$TEMPLATE/drive_c/windows/Fonts/" 2>/dev/null || true
fi
# A second drive, D:, kept inside the prefix as well.
mkdir -p "$TEMPLATE/drive_d"
ln -s ../drive_d "$TEMPLATE/dosdevices/d:"
# Wine links the user's Desktop, Documents and the like to the host's home
# folder; make each a plain empty folder inside the prefix instead.
find "$TEMPLATE/drive_c" -type l | while read -r link; do
  rm -f "$link"
  mkdir -p "$link"
done
# Nothing inside may lead out of the prefix.
if find "$TEMPLATE/drive_c" -type l | grep -q .; then
  echo "template prefix still links outside itself" >&2
  exit 1
fi
echo "$RECIPE" > "$TEMPLATE/.ready"
