# The dialogs: About with and without variants, the Configuration dialog's
# boxes and what OK and Cancel do to the next scan, the Administrator
# question, and the program without a data file.
MARKER="$PREFIX/drive_c/windows/mxsample.txt"

step "without its data file the window is titled Mendrix and keeps its labels"
MAIN="Mendrix"
start_mendrix '-df=C:\mendrix\missing.dat' '-lf=C:\mendrix\missing.log'
wait_window "$MAIN"
dump "$MAIN"
expect "1054.text=Files deleted or disinfected:" "1056.text=Processes terminated or disinfected:"
has_item 'Could not open data file C:\mendrix\missing.dat'

step "About without variants has no list and empty data lines"
keys "$MAIN" alt+h a
wait_window "About Mendrix"
dump "About Mendrix"
expect "1025.text=Mendrix Version 1.07" "1026.text=Single-threat disinfection and removal tool" 1027.text= 1029.text=
lacks_control 1046
shot about-without-variants "About Mendrix"
keys "About Mendrix" Return
wait_gone "About Mendrix"

step "its scan fails too, and File Exit ends the program with that result"
keys "$MAIN" alt+f g
wait_finished "$MAIN" "Could not open data file" 2 20
keys "$MAIN" alt+f x
wait_gone "$MAIN"
expect_exit 3

step "About with variants lists them"
MAIN="Mendrix for Mendrix.Sample"
printf 'MENDRIX-SAMPLE-MARKER' >"$MARKER"
start_mendrix '-lf=C:\mendrix\first.log'
wait_window "$MAIN"
keys "$MAIN" alt+h a
wait_window "About Mendrix"
dump "About Mendrix"
expect "1029.text=System disinfection for Mendrix.Sample" "1027.text=Data Version: 1.1" 1046.count=3 \
  1046.item.0=Mendrix.Sample.A 1046.item.1=Mendrix.Sample.B 1046.item.2=Mendrix.Sample.C
shot about-with-variants "About Mendrix"
keys "About Mendrix" Escape
wait_gone "About Mendrix"

step "Configuration shows the options in force"
keys "$MAIN" alt+o c
wait_window Configuration
dump Configuration
expect 1035.checked=1 "1036.text=Search for trojan on disk" 1036.checked=1 \
  "1059.text=Scan where trojan is expected to be" 1059.checked=1 1059.enabled=1 1060.checked=0 1060.enabled=1 \
  1037.checked=0 1061.checked=0 '1061.text=&Report only' '1038.text=C:\mendrix\first.log'
shot configuration Configuration

step "Cancel forgets a change"
keys Configuration space
dump Configuration
expect 1035.checked=0
keys Configuration Escape
wait_gone Configuration
keys "$MAIN" alt+o c
wait_window Configuration
dump Configuration
expect 1035.checked=1

step "clearing the disk search greys both scan choices; OK keeps what was chosen"
# From "Ask for confirmation": the disk box, then the scan choices.
keys Configuration Tab Tab Down shift+Tab space
dump Configuration
expect 1036.checked=0 1059.enabled=0 1060.enabled=0 1060.checked=1
shot configuration-without-disk Configuration
# The greyed choices are skipped: Verbose logging, Report only, then the
# report file.
keys Configuration Tab Tab Tab
type_into Configuration 'C:\mendrix\second.log'
keys Configuration Return
wait_gone Configuration
keys "$MAIN" alt+o c
wait_window Configuration
dump Configuration
expect 1035.checked=1 1036.checked=0 1060.checked=1 1060.enabled=0 '1038.text=C:\mendrix\second.log'
keys Configuration Escape
wait_gone Configuration

step "the next scan asks about Administrator rights, then leaves the disk alone"
keys "$MAIN" alt+f g
wait_window Mendrix
dump Mendrix
expect '65535.text=You are not logged on as an Administrator.\r\nThe system may not be completely disinfectable.\r\n\r\nDo you wish to continue?'
shot administrator-question Mendrix
keys Mendrix Return
wait_finished "$MAIN" "System scan finished" 1
[ -e "$MARKER" ] || fail "the disk was searched although the box was cleared"
[ -e second.log ] && [ ! -e first.log ] || fail "the log is not where the dialog said"
dump "$MAIN"
lacks_item "Checking for files affected by Mendrix.Sample"

step "Report only: the scan finds the marker, says what it would do and leaves it"
keys "$MAIN" alt+o c
wait_window Configuration
keys Configuration space Tab space alt+r
dump Configuration
expect 1035.checked=0 1036.checked=1 1061.checked=1
keys Configuration Return
wait_gone Configuration
keys "$MAIN" alt+f g
wait_finished "$MAIN" "Report-only run: nothing on this machine was changed" 1 30
[ -e "$MARKER" ] || fail "a report-only scan deleted the marker"
dump "$MAIN"
has_item 'Would delete file C:\windows\mxsample.txt'
expect 1029.text=1 1032.text=0

step "confirmation off and the disk search back on apply to the scan after"
keys "$MAIN" alt+o c
wait_window Configuration
dump Configuration
expect 1061.checked=1
keys Configuration alt+r Return
wait_gone Configuration
keys "$MAIN" alt+f g
wait_finished "$MAIN" "System scan finished" 3 30
[ ! -e "$MARKER" ] || fail "the marker was not deleted"
dump "$MAIN"
has_item "Checking for files affected by Mendrix.Sample"
has_item "The current user does not have Administrator rights"
expect 1029.text=1 1032.text=1
keys "$MAIN" Escape
wait_gone "$MAIN"
expect_exit 0
