#!/usr/bin/env bash
# Builds everything and runs every test: native unit tests under sanitizers,
# the fuzz smoke run of the data-file reader, and the Windows tests under
# Wine with a virtual display: the 64-bit tree always, the 32-bit tree where
# this machine runs 32-bit code (scripts/runs-32bit.sh tells).
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

set +e
runs32="$(bash "$ROOT/scripts/runs-32bit.sh")"
set -e
trees=(native win64)
if [ "$runs32" = "yes" ]; then trees+=(win); fi

status=0
summary=()
total=0; failed=0; skipped=0
for tree in "${trees[@]}"; do
  log="$BUILD/$tree-tests.log"
  echo "== tests of build/$tree"
  ctest --test-dir "$BUILD/$tree" --output-on-failure -j2 2>&1 | tee "$log" || status=1
  t=$(grep -Eo 'out of [0-9]+' "$log" | grep -Eo '[0-9]+' | tail -1 || true)
  f=$(grep -Eo '[0-9]+ tests failed' "$log" | grep -Eo '[0-9]+' | tail -1 || true)
  t=${t:-0}; f=${f:-0}
  # A test that cannot run here says why and counts as not run, never as passed.
  s=$(grep -c '(Skipped)$' "$log" || true)
  if [ "$t" -eq 0 ]; then status=1; fi
  total=$((total + t)); failed=$((failed + f)); skipped=$((skipped + s))
  line="build/$tree: $((t - f - s)) passed, $f failed"
  if [ "$s" -gt 0 ]; then
    line+=", $s NOT run:"
    while read -r why; do line+=$'\n  '"$why"; done < <(grep -h 'not run: ' "$BUILD/$tree/Testing/Temporary/LastTest.log" || true)
  fi
  summary+=("$line")
done

echo
for line in "${summary[@]}"; do echo "$line"; done
if [ "$runs32" != "yes" ]; then
  echo "build/win (32-bit Windows programs): built but NOT run, because this machine cannot run them: ${runs32#no: }"
fi
echo "$((total - failed - skipped)) passed, $failed failed$( [ "$skipped" -gt 0 ] && echo ", $skipped NOT run (see above)")"
exit $status
