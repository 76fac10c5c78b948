#!/usr/bin/env bash
# Glimor.exe's first start, its four pages, the refused second copy, closing
# that only hides, and the tray menu's Exit confirmed with Yes.
source "$(dirname "$0")/lib.sh"

start_x
fresh_prefix
start_glimor

log "first start: window shown, installation recorded, autostart written"
wait_for 30 test -f "$app_dir/Glimor.ini" || fail "Glimor.ini was not written"
wait_for 10 main_visible || fail "the main window is not shown on the first start"
[ "$(ini_value Installed)" = 1 ] || fail "Installed=$(ini_value Installed)"
[ "$(ini_value HotKey)" = 32881 ] || fail "HotKey=$(ini_value HotKey)"
run=$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v Glimor 2>/dev/null | tr -d '\r')
grep -qF 'REG_SZ    "C:\Glimor\Glimor.exe"' <<<"$run" || fail "Run value: $run"

log "the four pages"
# The window is centred on the 1024x768 desktop; these are its tabs.
page=0
for tab in 362 435 489 543; do
  xdotool mousemove --window "$desk" "$tab" 317 click 1
  sleep 0.7
  shot "main-page-$page"
  page=$((page + 1))
done
windows_now | grep -qF '|Static|1.01' || fail "lblVersion does not read 1.01"

log "a second copy is refused"
ini_before=$(cat "$app_dir/Glimor.ini")
wine explorer /desktop=glimor,1024x768 'C:\Glimor\Glimor.exe' >/dev/null 2>&1 &
wait_for 20 message_shown "You cannot start multiple copies of Glimor!" || fail "no refusal message"
shot second-copy-refused
xdotool mousemove --window "$desk" 512 392 click 1 # its OK button, the box is centred
wait_for 10 not has_window '^top|1|#32770|' || fail "the refusal did not end"
[ "$(windows_now | grep -c '^top|.|GlimorMain|')" = 1 ] || fail "not exactly one main window"
[ "$(cat "$app_dir/Glimor.ini")" = "$ini_before" ] || fail "the refused copy touched Glimor.ini"

log "a new hot key: Ctrl+F3 typed into the Options page's control"
xdotool mousemove --window "$desk" 435 317 click 1 # Options
sleep 0.5
xdotool mousemove --window "$desk" 480 351 click 1 # HotKey1
sleep 0.3
xdotool key ctrl+F3
wait_for 10 bash -c "grep -q '^HotKey=16498' '$app_dir/Glimor.ini'" || fail "HotKey=$(ini_value HotKey), not 16498"
# Away from the control, which holds the hot key back while it has the focus.
xdotool mousemove --window "$desk" 489 317 click 1 # About
sleep 1.5
focus_desktop
xdotool key ctrl+F3
wait_for 10 has_window '^top|1|GlimorSelection|' || fail "Ctrl+F3 opened no selection window"
focus_desktop
xdotool key Escape
wait_for 10 not has_window '^top|1|GlimorSelection|' || fail "Esc did not close the selection"
wait_for 5 status_is "Cropping picture canceled." || fail "status after Esc: $(status_text)"
main_visible && fail "the main window is shown after a cancelled capture"

log "a left click on the tray icon shows the window"
xdotool mousemove --window "$desk" 1013 757 click 1
wait_for 10 main_visible || fail "the tray icon did not show the window"

log "the close button only hides"
focus_desktop
xdotool mousemove --window "$desk" 500 292 click 1 # the title bar
xdotool key alt+F4
wait_for 10 not main_visible || fail "Alt+F4 did not hide the window"
windows_now | grep -q '^top|0|GlimorMain|' || fail "the program ended on close"

log "tray menu Exit, confirmed"
xdotool mousemove --window "$desk" 1013 757 click 3
sleep 1
shot tray-menu
# The menu opens upwards from the icon: "Show", "Hide", a separator, "Exit".
xdotool mousemove --window "$desk" 975 741
sleep 0.3
xdotool click 1
wait_for 10 message_shown "Are you sure want to Quit application?" || fail "no quit question"
shot quit-question
xdotool mousemove --window "$desk" 479 392 click 1 # "Yes"
wait_for 15 not has_window GlimorMain || fail "the program did not end"
log "passed"
