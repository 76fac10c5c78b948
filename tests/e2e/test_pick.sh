#!/usr/bin/env bash
# Picking a window: without a virtual desktop (Wine draws the frames itself, Decorated=N, so a
# window's X geometry is its whole Win32 rectangle), `wine notepad` placed with xdotool; a click
# inside it in the selection window selects exactly its rectangle, whose pixels are those of a
# screenshot taken just before the hot key; a click on the bare desktop selects the monitor.
source "$(dirname "$0")/lib.sh"

start_x 1024x768
fresh_prefix
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 || true
wineserver -w
desktop_args=()
start_server

log "Glimor and notepad side by side"
wine 'C:\Glimor\Glimor.exe' >"$work/wine.log" 2>&1 &
wait_for 30 xdotool search --onlyvisible --name '^Glimor$' || fail "Glimor.exe did not start"
main=$(xdotool search --onlyvisible --name '^Glimor$' | head -n 1)
xdotool windowmove --sync "$main" 560 300 || true
wine notepad >"$work/notepad.log" 2>&1 &
wait_for 30 xdotool search --onlyvisible --name 'Notepad' || fail "notepad did not start"
pad=$(xdotool search --onlyvisible --name 'Notepad' | head -n 1)
xdotool windowmove --sync "$pad" 37 41 windowsize --sync "$pad" 411 317 || true
sleep 1
eval "$(xdotool getwindowgeometry --shell "$pad")" # X Y WIDTH HEIGHT
log "notepad at $X,$Y ${WIDTH}x$HEIGHT"
[ "$WIDTH" = 411 ] && [ "$HEIGHT" = 317 ] || fail "notepad was not sized: ${WIDTH}x$HEIGHT"

# The hot key goes to Glimor's window; the reference screenshot is taken with the same windows
# active and the pointer out of the way (Xvfb draws it into the screen).
xdotool mousemove 1020 760
xdotool windowfocus --sync "$main"
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
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Glimor$' | head -n 1)"
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
log "passed"
