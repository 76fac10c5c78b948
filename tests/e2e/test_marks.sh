#!/usr/bin/env bash
# Marks on a capture before it goes out: a selection over three words, the middle one redacted,
# an arrow and a numbered step, Enter. The service holds exactly Glimor.png, OCR reads the two
# words left open and not the redacted one, and the redaction is one colour in every crop file.
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
link=$(xclip -o -selection clipboard)
curl -sf "$link" -o "$work/served.png" || fail "the link does not serve"
cmp "$work/served.png" "$app_dir/Glimor.png" || fail "the service holds other bytes than Glimor.png"
cp "$app_dir/Glimor.png" "$artifacts/marks-Glimor.png"

log "what the files show"
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
log "ok"
