#!/usr/bin/env bash
# Picking a window: without a virtual desktop (Wine draws the frames itself, Decorated=N, so a
# window's X geometry is its whole Win32 rectangle), `wine notepad` placed with xdotool; a click
# inside it in the selection window selects exactly its rectangle, whose pixels are those of a
# screenshot taken just before the hot key; a click on the bare desktop selects the monitor.
# Then, in a Wine virtual desktop (where Wine, not an X window manager, decides which window gets
# the keys, as Windows does), the hot key pressed while notepad has the keyboard, its caret in the
# text: the selection takes the mouse and the keys, notepad gets no character and no menu, and the
# keyboard is notepad's again once the link is on the clipboard.
source "$(dirname "$0")/lib.sh"

notepad_text() { windows_now | awk -F'|' '$1=="top"{pad=($3=="Notepad")} pad && $1=="child" && $3=="Edit"{print $4}'; }

start_x 1024x768
fresh_prefix
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 || true
# A caret that does not blink looks the same in the screenshot and in the grab.
wine reg add 'HKCU\Control Panel\Desktop' /v CursorBlinkRate /d -1 /f >/dev/null 2>&1 || true
wineserver -w
desktop_args=()
start_server

log "Glimor and notepad side by side"
wine 'C:\Glimor\Glimor.exe' >"$work/wine.log" 2>&1 &
wait_for 30 xdotool search --onlyvisible --name '^Glimor$' || fail "Glimor.exe did not start"
main=$(xdotool search --onlyvisible --name '^Glimor$' | head -n 1)
timeout 10 xdotool windowmove --sync "$main" 560 300 || true
wine notepad >"$work/notepad.log" 2>&1 &
wait_for 30 xdotool search --onlyvisible --name 'Notepad' || fail "notepad did not start"
pad=$(xdotool search --onlyvisible --name 'Notepad' | head -n 1)
timeout 10 xdotool windowmove --sync "$pad" 37 41 windowsize --sync "$pad" 411 317 || true
sleep 1
eval "$(xdotool getwindowgeometry --shell "$pad")" # X Y WIDTH HEIGHT
log "notepad at $X,$Y ${WIDTH}x$HEIGHT"
[ "$WIDTH" = 411 ] && [ "$HEIGHT" = 317 ] || fail "notepad was not sized: ${WIDTH}x$HEIGHT"

# The hot key is pressed in notepad, as a user would; the reference screenshot is taken with the
# same window active and the pointer out of the way (Xvfb draws it into the screen). The hot key's
# Alt must leave neither notepad's menu bar open in the picture nor Glimor's window.
xdotool mousemove 1020 760
x_focus "$pad" || fail "the X focus did not move"
sleep 1
shot pick-before
xdotool key alt+F2
wait_for 10 selection_visible || fail "Alt+F2 opened no selection window"
xdotool mousemove $((X + 200)) $((Y + 150))
sleep 0.5
shot pick-outline
# Three columns of blue from notepad's left edge in, then one of white.
outline=$(convert "$artifacts/pick-outline.png" -crop "4x1+$X+$((Y + 100))" -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}' | xargs)
[ "$outline" = "#1E90FF #1E90FF #1E90FF #FFFFFF" ] || fail "notepad's left edge is $outline, not three of the outline's blue and white"
xdotool click 1
wait_for 10 has_window '^child|1|Button|Glimo Selection !$' || fail "a click on notepad showed no selection panel"
shot pick-selected
rm -f "$app_dir/Glimor.bmp"
click_control Button 'Glimo Selection !'
wait_for 20 test -s "$app_dir/Glimor.bmp" || fail "no Glimor.bmp"
[ "$(identify -format '%w %h' "$app_dir/Glimor.bmp")" = "$WIDTH $HEIGHT" ] ||
  fail "Glimor.bmp is $(identify -format '%w %h' "$app_dir/Glimor.bmp"), not notepad's ${WIDTH}x$HEIGHT"
convert "$artifacts/pick-before.png" -crop "${WIDTH}x$HEIGHT+$X+$Y" +repage "$work/notepad.png"
diff=$(compare -metric AE "$app_dir/Glimor.bmp" "$work/notepad.png" null: 2>&1) || true
[ "$diff" = 0 ] || fail "Glimor.bmp differs from notepad's pixels on the screen in $diff pixels"
wait_for 30 status_is "Upload complete." || fail "status after the upload: $(status_text)"

log "a click on the bare desktop selects the monitor"
wait_for 10 status_is "Glimor is now ready." || fail "the anti-flood lock did not end: $(status_text)"
# The capture left Glimor's window as it was, shown; had it been hidden, its icon in Wine's own tray
# window (no desktop here), 24 pixels square at the left of its client area, would show it again.
# The hot key goes to it.
if ! xdotool search --onlyvisible --name '^Glimor$' >/dev/null; then
  tray=$(xdotool search --onlyvisible --name '^Wine System Tray$' | head -n 1)
  [ -n "$tray" ] || fail "no Wine System Tray window"
  eval "$(xdotool getwindowgeometry --shell "$tray")" # X Y WIDTH HEIGHT
  xdotool mousemove $((X + 12)) $((Y + HEIGHT - 12)) click 1
  wait_for 10 xdotool search --onlyvisible --name '^Glimor$' || fail "the tray icon did not show the main window"
fi
x_focus "$(xdotool search --onlyvisible --name '^Glimor$' | head -n 1)" || fail "the X focus did not move"
xdotool key alt+F2
wait_for 10 selection_visible || fail "Alt+F2 opened no selection window the second time"
xdotool mousemove 300 600 click 1
wait_for 10 has_window '^child|1|Button|Glimo FullScreen !$' || fail "a click on the desktop is no whole-screen selection"
shot pick-desktop

log "a double click on notepad selects it and keeps the capture"
xdotool mousemove $((X + 200)) $((Y + 150)) click --repeat 2 --delay 80 1
wait_for 10 has_window '^child|1|Button|Glimo Selection !$' || fail "a double click on notepad showed no selection panel"
sleep 1
selection_visible || fail "the double click closed the selection window"
xdotool key Escape
wait_for 10 not selection_visible || fail "Esc did not close the selection window"

log "Alt+F2 while notepad has the keyboard, in a virtual desktop"
wineserver -k >/dev/null 2>&1 || true
wineserver -w
desktop_args=(explorer /desktop=glimor,1024x768)
start_glimor
wait_for 30 glimor_started || fail "Glimor did not start in the virtual desktop"
wine explorer /desktop=glimor,1024x768 notepad >"$work/notepad.log" 2>&1 &
wait_for 30 has_window '^top|1|Notepad|' || fail "notepad did not start in the virtual desktop"
read -r left top right bottom <<<"$(top_rect Notepad)"
click_at $((left + 60)) $((top + 80))
xdotool type --delay 50 glimor
wait_for 10 test "$(notepad_text)" = glimor || fail "notepad did not take the typing: '$(notepad_text)'"
wait_for 10 foreground_is 'Notepad|Untitled - Notepad|0|Edit' ||
  fail "notepad does not have the keyboard: $(windows_now | grep '^foreground')"
xclip -selection clipboard /dev/null
xdotool key alt+F2
wait_for 10 selection_visible || fail "Alt+F2 in notepad opened no selection window"
xdotool mousemove --window "$desk" 600 100 mousedown 1
for step in 1 2 3 4 5 6 7 8; do xdotool mousemove --window "$desk" $((600 + 30 * step)) $((100 + 20 * step)); done
xdotool mouseup 1
wait_for 10 has_window '^child|1|Button|Glimo Selection !$' || fail "the drag showed no panel"
shot pick-from-notepad
windows_now | awk -F'|' '$1=="top"{pad=($3=="Notepad")} pad && $1=="menumode"{found=1} END{exit !found}' &&
  fail "notepad is in its menu's mode"
rm -f "$app_dir/Glimor.bmp"
xdotool key Return
wait_for 30 clipboard_begins "http" || fail "no link on the clipboard after Enter: $(status_text)"
wait_for 20 test -s "$app_dir/Glimor.bmp" || fail "no Glimor.bmp"
[ "$(identify -format '%w %h' "$app_dir/Glimor.bmp")" = "240 160" ] ||
  fail "the crop is $(identify -format '%w %h' "$app_dir/Glimor.bmp"), not the drag's 240x160"
wait_for 10 foreground_is 'Notepad|Untitled - Notepad|0|Edit' ||
  fail "the keyboard is not notepad's again: $(windows_now | grep '^foreground')"
[ "$(notepad_text)" = glimor ] || fail "notepad's text became '$(notepad_text)'"
shot pick-notepad-after
log "passed"
