# Helpers of the GUI test groups, sourced by run-gui-test.sh: start the
# program, type at it, read what it shows, take screenshots. The working
# folder is C:\mendrix of the group's prefix.
PROBE='C:\mendrix\gui_probe.exe'
DUMP="$WORK/dump"

step() { echo "-- $*"; }

fail() {
  echo "FAIL: $*" >&2
  if [ -f "$DUMP" ]; then sed 's/^/    /' "$DUMP" >&2; fi
  shot failure || true
  exit 1
}

# The program, in the background; its exit code lands in $WORK/exit.
start_mendrix() {
  rm -f "$WORK/exit"
  (
    set +e
    wine 'C:\mendrix\mendrix.exe' "$@" >/dev/null 2>&1
    echo $? >"$WORK/exit"
  ) &
}

expect_exit() {
  for _ in $(seq 100); do [ -f "$WORK/exit" ] && break; sleep 0.1; done
  [ -f "$WORK/exit" ] || fail "mendrix.exe did not end"
  [ "$(cat "$WORK/exit")" = "$1" ] || fail "exit code $(cat "$WORK/exit"), expected $1"
}

wait_window() { wine "$PROBE" wait "$1" "${2:-20}" || fail "no window \"$1\""; }
wait_gone() { wine "$PROBE" gone "$1" "${2:-10}" || fail "window \"$1\" is still open"; }
# TITLE TEXT N: N list entries begin with TEXT and Start Scan is back.
wait_finished() {
  wine "$PROBE" finished "$1" "$2" "$3" "${4:-60}" || { dump "$1"; fail "scan did not finish: \"$2\" x$3"; }
}

# Everything the window's controls show, one "id.what=value" per line.
dump() { wine "$PROBE" dump "$1" | tr -d '\r' >"$DUMP" || fail "cannot read \"$1\""; }
value() { sed -n "s/^$1=//p" "$DUMP" | head -1; }
# KEY=VALUE...: each key of the last dump shows exactly that value.
expect() {
  local pair got
  for pair in "$@"; do
    got="$(value "${pair%%=*}")"
    [ "$got" = "${pair#*=}" ] || fail "${pair%%=*} is \"$got\", expected \"${pair#*=}\""
  done
}
items() { sed -n 's/^1010\.item\.[0-9]*=//p' "$DUMP"; }
has_item() { items | grep -qxF -- "$1" || fail "no list entry \"$1\""; }
lacks_item() { ! items | grep -qxF -- "$1" || fail "unexpected list entry \"$1\""; }
lacks_control() { ! grep -q "^$1\." "$DUMP" || fail "control $1 should not exist"; }

window_id() { xdotool search --onlyvisible --name "^$1\$" | head -1; }

# TITLE KEY...: focuses the window and presses the keys, as a user would.
keys() {
  local title="$1" id
  shift
  id="$(window_id "$title")"
  [ -n "$id" ] || fail "no X window \"$title\""
  xdotool windowfocus --sync "$id"
  xdotool key --delay 80 "$@"
}

type_into() {
  local id
  id="$(window_id "$1")"
  [ -n "$id" ] || fail "no X window \"$1\""
  xdotool windowfocus --sync "$id"
  xdotool type --delay 40 -- "$2"
}

# TITLE ID: a mouse click in the middle of the control's left 40 pixels.
click_left_of() {
  local x y w h
  read -r x y w h < <(wine "$PROBE" rect "$1" "$2" | tr -d '\r') || fail "no control $2 in \"$1\""
  xdotool mousemove --sync $((x + 40)) $((y + h / 2)) click 1
  park_pointer
}

# Out of the way, so that no control shows the pointer over it.
park_pointer() { xdotool mousemove --sync 0 0; }

# NAME [TITLE...]: the area that frames the main window and any others named.
shot() {
  local name="$1" left=100000 top=100000 right=0 bottom=0 t id X Y WIDTH HEIGHT
  shift
  sleep 0.4  # let the last change paint
  for t in "$MAIN" "$@"; do
    id="$(window_id "$t")"
    [ -n "$id" ] || continue
    eval "$(xdotool getwindowgeometry --shell "$id")"
    ((X < left)) && left=$X
    ((Y < top)) && top=$Y
    ((X + WIDTH > right)) && right=$((X + WIDTH))
    ((Y + HEIGHT > bottom)) && bottom=$((Y + HEIGHT))
  done
  ((right > left)) || return 1
  import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$SHOTS/$name.png"
}
