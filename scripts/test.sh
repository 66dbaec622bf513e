#!/usr/bin/env bash
# Builds everything and runs every test: native unit tests under sanitizers,
# the fuzz smoke run of the data-file reader, and the Windows tests under
# 32-bit Wine with a virtual display.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${MENDRIX_BUILD:-$ROOT/build}"

bash "$ROOT/scripts/build.sh"

# One virtual display for every test that opens a window.
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then break; fi
  done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  trap 'kill $XVFB_PID 2>/dev/null || true' EXIT
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
fi

status=0
ctest --test-dir "$BUILD/native" --output-on-failure -j2 2>&1 | tee "$BUILD/native-tests.log" || status=1
ctest --test-dir "$BUILD/win" --output-on-failure -j2 2>&1 | tee "$BUILD/win-tests.log" || status=1

# One closing line for both trees.
count() { grep -Eo "$1" "$2" | grep -Eo '[0-9]+' | head -1; }
total=0; failed=0
for log in "$BUILD/native-tests.log" "$BUILD/win-tests.log"; do
  t=$(grep -Eo 'out of [0-9]+' "$log" | grep -Eo '[0-9]+' | tail -1 || true)
  f=$(grep -Eo '[0-9]+ tests failed' "$log" | grep -Eo '[0-9]+' | tail -1 || true)
  total=$((total + ${t:-0})); failed=$((failed + ${f:-0}))
done
echo "$((total - failed)) passed, $failed failed"
if [ "$total" -eq 0 ]; then status=1; fi
exit $status
