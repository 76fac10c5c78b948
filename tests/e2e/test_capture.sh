#!/usr/bin/env bash
# One capture road in Glimor.exe: Alt+F2, a drag with its rubber band and fade,
# "Glimo Selection !" writing three files of the selection that match the screen and
# uploading the JPEG to glimor-server (the link on the clipboard, the anti-flood lock),
# a right double click that takes the whole screen, save-as through the file dialog,
# and Esc that cancels.
source "$(dirname "$0")/lib.sh"

start_x
fresh_prefix
start_server
start_glimor
wait_for 30 test -f "$app_dir/Glimor.ini" || fail "Glimor.ini was not written"
wait_for 10 main_visible || fail "no main window"
sleep 1

# press_hot_key: Alt+F2 to the desktop, then wait for the selection window.
press_hot_key() {
  focus_desktop
  xdotool key alt+F2
  wait_for 10 selection_visible || fail "Alt+F2 opened no selection window"
  sleep 0.3
}

log "a drag from (100, 120) to (420, 360)"
shot before-capture
press_hot_key
xdotool mousemove --window "$desk" 100 120 mousedown 1
for step in 1 2 3 4 5 6 7 8; do xdotool mousemove --window "$desk" $((100 + 40 * step)) $((120 + 30 * step)); done
sleep 0.3
shot rubber-band
xdotool mouseup 1
sleep 0.7
shot selection-faded
# Outside the selection every channel is lowered by 115; inside it is untouched.
IFS=, read -r r g b <<<"$(convert "$artifacts/before-capture.png" -crop 1x1+50+50 -depth 8 txt:- |
  sed -n '2s/.*srgb(\([0-9,]*\)).*/\1/p')"
expected="$(( r > 115 ? r - 115 : 0 )),$(( g > 115 ? g - 115 : 0 )),$(( b > 115 ? b - 115 : 0 ))"
[ "$(pixel 50 50)" = "$expected" ] || fail "outside pixel $(pixel 50 50), expected $expected"
[ "$(pixel 150 150)" = "$(convert "$artifacts/before-capture.png" -crop 1x1+150+150 -depth 8 txt:- |
  sed -n '2s/.*srgb(\([0-9,]*\)).*/\1/p')" ] || fail "inside pixel changed"

log "Glimo Selection ! writes three files"
# The panel (180 x 35) is centred on the selection: left 170, top 223; its first button spans its top.
xdotool mousemove --window "$desk" 260 232 click 1
for ext in bmp jpg gif; do
  wait_for 20 test -s "$app_dir/Glimor.$ext" || fail "no Glimor.$ext"
done
# The upload follows at once, and the anti-flood lock lasts 5 s: both are checked before the files.
wait_for 30 status_is "Upload complete." || fail "status after the upload: $(status_text)"
focus_desktop
xdotool key alt+F2
wait_for 3 status_is "AntiFlood protection: Please wait 5 seconds." || fail "no anti-flood text: $(status_text)"
wait_for 10 not selection_visible || fail "the selection window stayed open"
for ext in bmp jpg gif; do
  size=$(identify -format '%w %h' "$app_dir/Glimor.$ext" 2>&1) || fail "Glimor.$ext does not decode: $size"
  [ "$size" = "320 240" ] || fail "Glimor.$ext is $size"
done
convert "$artifacts/before-capture.png" -crop 320x240+100+120 +repage "$work/region.png"
bmp_diff=$(compare -metric AE "$app_dir/Glimor.bmp" "$work/region.png" null: 2>&1) || true
[ "$bmp_diff" = 0 ] || fail "Glimor.bmp differs from the screen region in $bmp_diff pixels"
jpg_rmse=$(compare -metric RMSE "$app_dir/Glimor.jpg" "$work/region.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/') || true
awk -v e="$jpg_rmse" 'BEGIN { exit !(e < 0.02) }' || fail "Glimor.jpg is far from the screen region (RMSE $jpg_rmse)"
djpeg "$app_dir/Glimor.jpg" >/dev/null || fail "djpeg cannot read Glimor.jpg"
wait_for 10 main_visible || fail "the confirmed capture did not show the main window"
# JPEG is the file type of a first start: its path is in the hidden Edit1 for the upload.
windows_now | grep -qxF 'child|0|Edit|C:\Glimor\Glimor.jpg' || fail "Edit1 does not hold Glimor.jpg"
link=$(xclip -o -selection clipboard)
case $link in "http://$host/i/"*) ;; *) fail "clipboard: $link" ;; esac
windows_now | grep -qxF "child|1|Edit|$link" || fail "DirectLink does not show $link"
curl -sf "$link" -o "$work/served.jpg" || fail "the link does not serve"
cmp "$work/served.jpg" "$app_dir/Glimor.jpg" || fail "the service holds other bytes than Glimor.jpg"
[ ! -e "$app_dir/Glimor.dat" ] || fail "the answer file was left behind"
shot main-with-link
wait_for 10 status_is "Glimor is now ready." || fail "the anti-flood lock did not end: $(status_text)"

log "a right double click takes the whole screen"
before=$(mtime "$app_dir/Glimor.bmp")
press_hot_key
# Each of its clicks is a press and a release at one point: the whole screen, twice.
xdotool mousemove --window "$desk" 600 500 click --repeat 2 --delay 60 3
sleep 0.5
shot selection-whole-screen
windows_now | grep -qxF 'child|1|Button|Glimo FullScreen !' || fail "the right double click is no whole-screen selection"
# The panel is centred on the screen: left 422, top 367.
xdotool mousemove --window "$desk" 512 376 click 1
wait_for 30 bash -c "[ \"\$(stat -c %.9Y '$app_dir/Glimor.gif')\" != '$before' ] && [ \"\$(stat -c %.9Y '$app_dir/Glimor.bmp')\" != '$before' ]" ||
  fail "the whole-screen capture wrote no files"
wait_for 20 not selection_visible || fail "the selection window stayed open"
for ext in bmp jpg gif; do
  size=$(identify -format '%w %h' "$app_dir/Glimor.$ext" 2>&1) || fail "Glimor.$ext does not decode: $size"
  [ "$size" = "1024 768" ] || fail "whole-screen Glimor.$ext is $size"
done
wait_for 30 status_is "Glimor is now ready." || fail "the second upload did not end: $(status_text)"

log "save-as through the file dialog"
press_hot_key
xdotool mousemove --window "$desk" 600 500 click 1
sleep 0.5
xdotool mousemove --window "$desk" 455 392 click 1 # "S a v e" on the centred panel
wait_for 15 has_window '^top|1|#32770|Save Glimor-Cropped image' || fail "no save dialog"
shot save-dialog
xdotool type 'C:\Glimor\saved.bmp'
xdotool key Return
wait_for 15 test -s "$app_dir/saved.bmp" || fail "nothing was saved"
wait_for 10 status_is "Saved to file saved.bmp" || fail "status after the save: $(status_text)"
wait_for 10 not selection_visible || fail "the selection window stayed open after the save"
[ "$(identify -format '%w %h %[bit-depth]' "$app_dir/saved.bmp")" = "1024 768 8" ] || fail "saved.bmp does not decode as the screen"
[ "$(od -An -tu2 -j28 -N2 "$app_dir/saved.bmp" | tr -d ' ')" = 32 ] || fail "saved.bmp is not at the display's 32 bits"

log "Esc cancels"
before=$(mtime "$app_dir/Glimor.bmp")
press_hot_key
focus_desktop
xdotool key Escape
wait_for 10 not selection_visible || fail "Esc did not close the selection window"
wait_for 5 status_is "Cropping picture canceled." || fail "status after Esc: $(status_text)"
main_visible && fail "the main window is shown after a cancelled capture"
[ "$(mtime "$app_dir/Glimor.bmp")" = "$before" ] || fail "a cancelled capture rewrote Glimor.bmp"
log "passed"
