#!/usr/bin/env bash
# Marks on a capture before it goes out: a selection over three words, the middle one redacted,
# an arrow and a numbered step, Enter. The service holds exactly Glimor.png, OCR reads the two
# words left open and not the redacted one, and the redaction is one colour in every crop file.
# Then a 50x30 selection: the panel, the tool strip and the key hints stand beside it, every pixel
# of it in sight, and Ctrl+C puts exactly those pixels on the clipboard.
source "$(dirname "$0")/lib.sh"

start_x
fresh_prefix
start_server
printf '[Options]\r\nImgType=PNG\r\nInstalled=1\r\n' >>"$app_dir/Glimor.ini"
start_glimor
wait_for 30 glimor_started || fail "Glimor.exe did not start"

log "three words on the screen"
words=$WINEPREFIX/drive_c/words.txt
wine "${desktop_args[@]}" 'C:\probe.exe' --words 'C:\words.txt' HOUSE SECRET GARDEN >/dev/null 2>&1 &
wait_for 30 test -f "$words" || fail "the words were not shown"
IFS='|' read -r _ _ sl st sr sb < <(tr -d '\r' <"$words" | grep '^word|SECRET|')
sleep 1 # drawn before the hot key freezes the screen
# OCR reads all three as shown, so not reading one later means it is gone.
shot marks-words
convert "$artifacts/marks-words.png" -crop 940x140+40+60 "$work/words.png"
tesseract "$work/words.png" - 2>/dev/null | grep -q SECRET || fail "OCR does not read the words on the screen"

log "select, redact SECRET, an arrow, a step, Enter"
sel_left=30 sel_top=50
press_hot_key
drag $sel_left $sel_top 990 330
focus_desktop
xdotool key b
drag $((sl - 6)) $((st - 6)) $((sr + 6)) $((sb + 6))
xdotool key a
drag 120 300 300 220
xdotool key n
xdotool mousemove --window "$desk" 700 280 click 1
sleep 0.5
shot marks-before-publish
xdotool key Return
wait_for 30 clipboard_begins "http://$host/i/" || fail "no link after Enter: $(status_text)"
link=$(clipboard)
curl -sf "$link" -o "$work/served.png" || fail "the link does not serve"
cmp "$work/served.png" "$app_dir/Glimor.png" || fail "the service holds other bytes than Glimor.png"
cp "$app_dir/Glimor.png" "$artifacts/marks-Glimor.png"

log "what the files show"
# The files other than the upload's own are written after it.
for ext in bmp gif; do
  wait_for 20 bash -c "[ -s '$app_dir/Glimor.$ext' ] && ! [ '$app_dir/Glimor.$ext' -ot '$app_dir/Glimor.png' ]" ||
    fail "no Glimor.$ext written with the upload's Glimor.png"
done
# The block as the crop holds it, two pixels in from the redaction's edges.
block="$((sr - sl + 8))x$((sb - st + 8))+$((sl - 4 - sel_left))+$((st - 4 - sel_top))"
for ext in bmp png gif; do
  colours=$(convert "$app_dir/Glimor.$ext" -crop "$block" -format %k info:)
  [ "$colours" = 1 ] || fail "the redaction in Glimor.$ext holds $colours colours"
done
text=$(tesseract "$app_dir/Glimor.png" - 2>/dev/null | tr -d '\f')
log "OCR: $(echo $text)"
grep -q HOUSE <<<"$text" && grep -q GARDEN <<<"$text" || fail "OCR does not read the open words: $text"
grep -qi SECRET <<<"$text" && fail "OCR reads the redacted word: $text"

log "a 50x30 selection: the panel beside it, Ctrl+C copies it"
wait_for 30 status_is "Glimor is now ready." || fail "the anti-flood lock did not end: $(status_text)"
xdotool mousemove --window "$desk" 1000 700
sleep 1
shot small-before
press_hot_key
drag 600 400 650 430
wait_for 10 has_window '^child|1|Button|Glimo Selection !$' || fail "the 50x30 selection showed no panel"
sleep 0.5
shot small-selection
# The rectangles (screen pixels) of the panel's buttons, the tool strip and the key hints.
parts=$(windows_now | awk -F'|' '$1=="screen"{l=$2; t=$3}
  $1=="child"{want=($2==1 && ($3=="Button" || $3=="GlimorToolStrip" || ($3=="Static" && index($4, "Enter publish")==1)))}
  $1=="rect" && want{print $2-l, $3-t, $4-l, $5-t; want=0}')
log "beside the selection: $(echo $parts | tr '\n' ' ')"
[ "$(wc -l <<<"$parts")" -ge 6 ] || fail "the probe lists no panel, strip and hints: $parts"
while read -r left top right bottom; do
  [ "$right" -le 600 ] || [ "$left" -ge 650 ] || [ "$bottom" -le 400 ] || [ "$top" -ge 430 ] ||
    fail "a part at $left,$top-$right,$bottom covers the selection"
  [ "$left" -ge 0 ] && [ "$top" -ge 0 ] && [ "$right" -le 1024 ] && [ "$bottom" -le 768 ] || fail "a part at $left,$top-$right,$bottom leaves the screen"
done <<<"$parts"
convert "$artifacts/small-before.png" -crop 50x30+600+400 +repage "$work/small-before.png"
convert "$artifacts/small-selection.png" -crop 50x30+600+400 +repage "$work/small-shown.png"
shown_diff=$(compare -metric AE "$work/small-shown.png" "$work/small-before.png" null: 2>&1) || true
[ "$shown_diff" = 0 ] || fail "$shown_diff pixels of the 50x30 selection are covered or changed on the screen"
focus_desktop
xdotool key ctrl+c
wait_for 10 not selection_visible || fail "Ctrl+C did not end the capture"
copied() { clipboard image/bmp >"$work/copied.bmp" 2>/dev/null && [ -s "$work/copied.bmp" ]; }
wait_for 10 copied || fail "no picture on the clipboard: $(clipboard TARGETS 2>&1 | xargs)"
[ "$(identify -format '%w %h' "$work/copied.bmp")" = "50 30" ] || fail "the clipboard holds $(identify -format '%w %h' "$work/copied.bmp")"
copied_diff=$(compare -metric AE "$work/copied.bmp" "$work/small-before.png" null: 2>&1) || true
[ "$copied_diff" = 0 ] || fail "the copied picture differs from the screen in $copied_diff pixels"
# The same picture as PNG, which browsers and chats paste.
clipboard image/png >"$work/copied.png" 2>/dev/null ||
  fail "no PNG on the clipboard: $(clipboard TARGETS 2>&1 | xargs)"
png_diff=$(compare -metric AE "$work/copied.png" "$work/small-before.png" null: 2>&1) || true
[ "$png_diff" = 0 ] || fail "the copied PNG differs from the screen in $png_diff pixels"
log "ok"
