#!/usr/bin/env bash
# Glimor.exe's first start, its four pages, the keyboard and the Options page,
# the refused second copy, closing that only hides, the tray menu's Exit
# confirmed with Yes; then a start as a standard user at 150 % display scaling,
# and the Options page, the feedback form and the selection panel laid out at 96, 120, 144 and
# 192 dpi.
source "$(dirname "$0")/lib.sh"

# panel_layout DPI: the hot key (Ctrl+F3 from its change below), a click (the whole screen), the
# selection panel checked, Esc.
panel_layout() {
  press_hot_key ctrl+F3
  xdotool mousemove --window "$desk" 512 200 click 1
  wait_for 10 has_window '^child|1|Button|Glimo FullScreen !$' || fail "no selection panel at $1 dpi"
  check_layout "panel-$1dpi" cut # its buttons overlap by a pixel as designed
  # A tool takes the panel and the strip to the selection's bottom edge, whole on the screen.
  focus_desktop
  xdotool key r
  sleep 0.5
  shot "tool-strip-$1dpi"
  windows_now | awk -F'|' '$1=="top"{sel=($3=="GlimorSelection")} sel && $1=="child" && $2==1 && $3=="GlimorToolStrip"{s=1; next}
    s && $1=="rect"{found=1; if ($2 < 0 || $3 < 0 || $4 > 1024 || $5 > 768) bad=1; s=0} END{exit bad || !found}' ||
    fail "no tool strip wholly on the screen at $1 dpi"
  focus_desktop
  xdotool key Escape
  wait_for 10 not selection_visible || fail "Esc did not close the selection at $1 dpi"
}

start_x
fresh_prefix
start_glimor

log "first start: window shown, installation recorded, autostart written"
wait_for 30 test -f "$app_dir/Glimor.ini" || fail "Glimor.ini was not written"
wait_for 10 main_visible || fail "the main window is not shown on the first start"
[ "$(ini_value Installed)" = 1 ] || fail "Installed=$(ini_value Installed)"
[ "$(ini_value HotKey)" = 32881 ] || fail "HotKey=$(ini_value HotKey)"
[ "$(run_value HKLM)" = '"C:\Glimor\Glimor.exe"' ] || fail "Run value: $(run_value HKLM)"
# The first page names the hot key in force and says that Glimor now starts with Windows.
first_page() { windows_now | grep -F '|Static|Press '; }
first_page | grep -qF 'Press Alt+F2, click a window' || fail "the first page: $(first_page)"
first_page | grep -qF 'Glimor starts with Windows unless you untick' ||
  fail "the first page does not tell about Start with Windows: $(first_page)"

log "the four pages"
page=0
for tab in 'Glimoed Links' Options About FAQ; do
  click_control tab "$tab"
  sleep 0.7 # the page paints after the click: the screenshot shows it drawn
  shot "main-page-$page"
  page=$((page + 1))
done
windows_now | grep -qF '|Static|1.01' || fail "lblVersion does not read 1.01"

log "the keyboard: Tab and Shift+Tab walk the Options page"
click_control tab Options
wait_for 5 focus_is 'SysTabControl32|' || fail "the page tabs do not have the focus: $(focus_now)"
xdotool key Tab
wait_for 5 focus_is 'msctls_hotkey32|' || fail "Tab did not reach the hot key control: $(focus_now)"
xdotool key Tab
wait_for 5 focus_is 'Button|Check for updates' || fail "the second Tab: $(focus_now)"
xdotool key shift+Tab shift+Tab
wait_for 5 focus_is 'SysTabControl32|' || fail "Shift+Tab did not come back: $(focus_now)"

log "Space on Start with Windows applies the box as a click does"
focus=$(focus_now)
for _ in 1 2 3 4 5 6 7 8; do
  case $focus in 'Button|Start with Windows'*) break ;; esac
  xdotool key Tab
  was=$focus
  wait_for 5 focus_moved_from "$was" || fail "Tab did not move the focus from $was"
done
focus_is 'Button|Start with Windows' || fail "Tab did not reach Start with Windows: $(focus_now)"
xdotool key space
wait_for 5 run_value_is HKLM '' || fail "Space did not remove the Run value: $(run_value HKLM)"
sleep 1.5 # three ticks of the mirror
not is_checked 'Start with Windows' || fail "the mirror ticked the box again"
xdotool key space
wait_for 5 run_value_is HKLM '"C:\Glimor\Glimor.exe"' || fail "Space did not write the Run value back"

log "the Options page with the mouse: GIF and no fade are written"
click_control Button 'GIF Image (.gif)'
wait_for 10 bash -c "grep -q '^ImgType=GIF' '$app_dir/Glimor.ini'" || fail "ImgType=$(ini_value ImgType)"
click_control Button 'Fade out inverted selection'
wait_for 10 bash -c "grep -q '^Fade=0' '$app_dir/Glimor.ini'" || fail "Fade=$(ini_value Fade)"

log "the upload token: saved when the field is left, refused when it could not be sent"
token_field() { # the page's one text field, with the focus and its text selected
  click_control Edit '*'
  wait_for 5 focus_is 'Edit|' || fail "the token field did not take the focus: $(focus_now)"
  xdotool key End shift+Home
}
token_field
xdotool type 'abc.DEF-123~=='
click_control tab Options # the field loses the focus
wait_for 10 bash -c "grep -q '^Token=abc.DEF-123~==' '$app_dir/Glimor.ini'" || fail "Token=$(ini_value Token)"
token_field
xdotool type 'two words'
click_control tab Options
wait_for 10 message_begins 'The upload token may hold only letters' || fail "a token with a blank was not refused"
click_control Button OK
wait_for 10 not has_window '^top|1|#32770|' || fail "the refusal did not close"
[ "$(ini_value Token)" = 'abc.DEF-123~==' ] || fail "the refused token was saved: $(ini_value Token)"

log "the Options page and the feedback form at 96 dpi"
check_layout options-96dpi
windows_now | grep -qF '|Static|Upload to: the image service at localhost:8080' ||
  fail "the Options page does not say where uploads go: $(windows_now | grep -F 'Upload to')"
feedback_layout() { # DPI
  click_control tab About
  click_control Button 'Send Feedback'
  wait_for 5 has_window '^child|1|Button|Submit$' || fail "the feedback form did not open at $1 dpi"
  check_layout "feedback-$1dpi"
}
feedback_layout 96
click_control Button Abort
click_control tab 'Glimoed Links'

log "a second copy is refused"
ini_before=$(cat "$app_dir/Glimor.ini")
wine explorer /desktop=glimor,1024x768 'C:\Glimor\Glimor.exe' >/dev/null 2>&1 &
wait_for 20 message_shown "You cannot start multiple copies of Glimor!" || fail "no refusal message"
shot second-copy-refused
click_control Button OK
wait_for 10 not has_window '^top|1|#32770|' || fail "the refusal did not end"
[ "$(windows_now | grep -c '^top|.|GlimorMain|')" = 1 ] || fail "not exactly one main window"
[ "$(cat "$app_dir/Glimor.ini")" = "$ini_before" ] || fail "the refused copy touched Glimor.ini"

log "Ctrl pressed alone in the hot key control changes nothing"
click_control tab Options
click_control msctls_hotkey32 '*'
wait_for 5 focus_is 'msctls_hotkey32|' || fail "the hot key control did not take the focus: $(focus_now)"
xdotool key ctrl
log "a key without a modifier: one message for one key"
xdotool key a
wait_for 10 message_shown "You must select at least one modifier: CTRL, ALT, SHIFT." || fail "no modifier message"
boxes=$(windows_now | grep -c '^top|1|#32770|' || true)
[ "$boxes" = 1 ] || fail "$boxes message boxes for one key"
click_control Button OK
wait_for 10 not has_window '^top|1|#32770|' || fail "another message followed the first"
click_control tab About # the control loses the focus
sleep 1.5 # the hot key is held back while the control has the focus, and re-armed within 1 s
[ "$(ini_value HotKey)" = 32881 ] || fail "Ctrl alone stored HotKey=$(ini_value HotKey)"
focus_desktop
xdotool key alt+F2
wait_for 10 selection_visible || fail "Alt+F2 no longer captures after Ctrl alone"
focus_desktop
xdotool key Escape
wait_for 10 not selection_visible || fail "Esc did not close the selection"
wait_for 5 main_visible || fail "the main window, shown before the capture, is not shown after it"

log "a new hot key: Ctrl+F3 typed into the Options page's control"
wait_for 10 main_visible || fail "the tray icon did not show the window"
click_control tab Options
click_control msctls_hotkey32 '*'
wait_for 5 focus_is 'msctls_hotkey32|' || fail "the hot key control did not take the focus: $(focus_now)"
xdotool key ctrl+F3
wait_for 10 bash -c "grep -q '^HotKey=16498' '$app_dir/Glimor.ini'" || fail "HotKey=$(ini_value HotKey), not 16498"
first_page | grep -qF 'Press Ctrl+F3, click a window' || fail "the first page names another key: $(first_page)"
# Away from the control, which holds the hot key back while it has the focus.
click_control tab About
sleep 1.5 # re-armed within 1 s of the control losing the focus
panel_layout 96
wait_for 5 status_is "Cropping picture canceled." || fail "status after Esc: $(status_text)"
wait_for 5 main_visible || fail "the main window, shown before the capture, is not shown after it"

log "a left click on the tray icon hides the window and shows it again"
click_tray_icon
wait_for 10 not main_visible || fail "the tray icon did not hide the window"
sleep 1 # a second click sooner is a double click, which the icon ignores
click_tray_icon
wait_for 10 main_visible || fail "the tray icon did not show the window"

log "the close button only hides"
focus_desktop
click_title GlimorMain
xdotool key alt+F4
wait_for 10 not main_visible || fail "Alt+F4 did not hide the window"
windows_now | grep -q '^top|0|GlimorMain|' || fail "the program ended on close"

log "tray menu Exit, confirmed"
open_tray_menu
shot tray-menu
# "Show", "Hide", a separator, "Exit".
click_menu_row -1
wait_for 10 message_shown "Are you sure want to Quit application?" || fail "no quit question"
shot quit-question
click_control Button '&Yes'
wait_for 15 not has_window GlimorMain || fail "the program did not end"
wineserver -w

log "a standard user at 150 %: the machine's Run key closed, the program moved, Glimor.ini read-only"
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
# Wine keeps a key's permissions only in the running server, not in the registry files.
wineserver -w
wineserver -p
wine 'C:\probe.exe' --deny-write 'Software\Microsoft\Windows\CurrentVersion\Run' || fail "the Run key stays writable"
wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v Probe /d x /f >/dev/null 2>&1 &&
  fail "the machine's Run key can still be written"
mv "$app_dir" "$WINEPREFIX/drive_c/Moved"
app_dir=$WINEPREFIX/drive_c/Moved
read_only=0
if chattr +i "$app_dir/Glimor.ini" 2>/dev/null; then
  read_only=1
  trap 'chattr -i "$app_dir/Glimor.ini" 2>/dev/null; cleanup' EXIT
else
  log "chattr is not available here: Glimor.ini stays writable"
fi
program='C:\Moved\Glimor.exe' start_glimor
if [ $read_only = 1 ]; then
  wait_for 30 message_begins 'Unable to write to C:\Moved\Glimor.ini' || fail "no write error at the start"
  shot read-only-ini
  xdotool key Return
  wait_for 10 not has_window '^top|1|#32770|' || fail "the write error did not close"
fi
click_tray_icon
wait_for 15 main_visible || fail "the tray icon did not show the window"
# Start-up went on: the options were read, the version is shown, the mirror runs.
is_checked 'GIF Image (.gif)' || fail "the stored GIF choice was not read"
not is_checked 'Fade out inverted selection' || fail "Fade=0 was not read"
windows_now | grep -qF '|Static|1.01' || fail "lblVersion does not read 1.01"
wait_for 10 run_value_is HKCU '"C:\Moved\Glimor.exe"' ||
  fail "the per-user Run value: $(run_value HKCU)"
[ "$(run_value HKLM)" = '"C:\Glimor\Glimor.exe"' ] || fail "the closed machine key changed: $(run_value HKLM)"
is_checked 'Start with Windows' || fail "the box does not mirror the per-user value"
# 397 x 222 designed pixels at 96 dpi, one and a half times that at 144.
windows_now | grep -A1 '^top|1|GlimorMain|' | grep -qx 'client|596|333' ||
  fail "the window is not scaled: $(windows_now | grep -A1 '^top|1|GlimorMain|')"
shot main-144dpi-links
[ "$(ini_value Token)" = 'abc.DEF-123~==' ] || fail "the token changed: $(ini_value Token)"

options_layout() { # DPI
  click_control tab Options
  wait_for 10 has_window '^child|1|Button|Capture all monitors$' || fail "the Options page did not show at $1 dpi"
  check_layout "options-$1dpi"
}
options_layout 144
feedback_layout 144
panel_layout 144

# Each resolution is read when the program starts.
[ $read_only = 1 ] && chattr -i "$app_dir/Glimor.ini"
for dpi in 120 192; do
  log "the Options page and the feedback form at $dpi dpi"
  wineserver -k
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
  wineserver -w
  program='C:\Moved\Glimor.exe' start_glimor
  wait_for 30 glimor_started || fail "Glimor did not start at $dpi dpi"
  click_tray_icon
  wait_for 15 main_visible || fail "the tray icon did not show the window at $dpi dpi"
  options_layout $dpi
  feedback_layout $dpi
  panel_layout $dpi
done
log "passed"
