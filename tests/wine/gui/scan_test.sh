# Scans from the main window with a data file of type 4: its title and
# labels, a scan from the menu, a second one from the toolbar, one that
# leaves a file in use for the restart, and a long one during which Escape,
# Exit and Configuration do nothing.
MAIN="Mendrix for X"
"$HOST_DAT" build "$(dirname "$GROUP")/data/application.xml" application.dat >/dev/null
plant() { for d in "$@"; do mkdir -p "scratch/files/$d" && echo marker >"scratch/files/$d/marker.txt"; done; }
plant a b c
echo keep >scratch/files/keep.txt
mkdir -p scratch/many

step "a data file of type 4 names the application"
start_mendrix '-df=C:\mendrix\application.dat' -noc '-lf=C:\mendrix\scan.log'
wait_window "$MAIN"
dump "$MAIN"
expect "title=$MAIN" "1054.text=Files deleted:" "1056.text=Processes terminated:" 1029.text= \
  603.buttons=3 603.button.600=enabled
has_item "Application removal for X "
shot opened

step "Start Scan from the menu deletes the three markers"
keys "$MAIN" alt+f g
wait_finished "$MAIN" "System scan finished" 1
dump "$MAIN"
expect 1029.text=3 1032.text=3 1030.text=0 1031.text=0 1033.text=0 1034.text=0 1020.text=
has_item "Checking files"
has_item ">>>Application 'X' found in file C:\\mendrix\\scratch\\files\\b\\marker.txt"
has_item "File deleted"
[ ! -e scratch/files/a/marker.txt ] && [ -e scratch/files/keep.txt ] || fail "wrong files deleted"
entries=$(value 1010.count)
shot after-scan

step "a second scan from the toolbar counts afresh and keeps the list"
plant a b
click_left_of "$MAIN" 603
wait_finished "$MAIN" "System scan finished" 2
dump "$MAIN"
expect 1029.text=2 1032.text=2 "1010.item.0=MENDRIX Version 1.07"
(($(value 1010.count) > entries)) || fail "the list lost entries"

step "a file in use is left for the restart: the status line and a box say so"
plant a
wine "$PROBE" hold 'C:\mendrix\scratch\files\a\marker.txt' 60 >/dev/null 2>&1 &
holder=$!
for _ in $(seq 100); do [ -e scratch/files/a/marker.txt.held ] && break; sleep 0.1; done
[ -e scratch/files/a/marker.txt.held ] || fail "the marker is not held"
keys "$MAIN" alt+f g
wait_window Mendrix
dump Mendrix
grep -qF "Files to be removed at restart: 1" "$DUMP" || fail "the box does not count the file"
shot restart-needed Mendrix
keys Mendrix Return
wait_gone Mendrix
wait_finished "$MAIN" "System scan finished" 3
dump "$MAIN"
expect "1020.text=done; restart Windows to finish removing the files in use" 1029.text=1 1032.text=0
has_item "File will be removed when Windows restarts"
kill "$holder" 2>/dev/null || true
wait "$holder" 2>/dev/null || true
rm -f scratch/files/a/marker.txt.held scratch/files/a/marker.txt

step "a long scan ignores Escape, Exit and Configuration"
# Each of these files is opened for a pattern check: several seconds of scan.
for i in $(seq 1 16000); do echo "plain $i" >"scratch/many/f$i.dat"; done
started=$SECONDS
keys "$MAIN" alt+f g
keys "$MAIN" Escape
keys "$MAIN" alt+o c Escape Escape
keys "$MAIN" alt+f x Escape Escape
wine "$PROBE" gone Configuration 1 || fail "Configuration opened during a scan"
keys "$MAIN" alt+f
shot file-menu-while-scanning
keys "$MAIN" Escape Escape
dump "$MAIN"
expect 603.button.600=indeterminate 603.button.601=indeterminate
case "$(value 1020.text)" in *'\scratch\many\f'*.dat) ;; *) fail "no file on the status line" ;; esac
wait_finished "$MAIN" "System scan finished" 4
echo "   the long scan took about $((SECONDS - started))s"

step "after the scan Escape closes the program, which exits with the scan's result"
keys "$MAIN" Escape
wait_gone "$MAIN"
expect_exit 0
