#!/usr/bin/env bash
# Recording, without a virtual desktop, so that the X root window (whose colour xsetroot sets) is
# the screen Glimor reads: Shift+Alt+F2, a drag, Enter; the screen red, then green, then blue; the
# record hot key again, each key pressed while notepad has the keyboard. The GIF's frames show the three colours in that order, its delays add up
# to the recording's length within a fifth, and the link serves the file's own bytes. The bar is
# looked at in screenshots at 96 and 144 dpi. Then as WebM: ffprobe reads VP9 of the rectangle's size
# and the recording's length, and headless Chromium plays the link to its end.
source "$(dirname "$0")/lib.sh"

# The colour in the middle of each frame of a GIF, as a player composes them, and each frame's delay.
frame_colours() { convert "$1" -coalesce -gravity center -crop 1x1+0+0 -depth 8 txt:- | grep -o '#[0-9A-F]\{6\}'; }
total_delay_ms() { identify -format '%T\n' "$1" | awk '{s += $1} END {print s * 10}'; }
bar_shown() { windows_now | grep -q '^top|1|GlimorRecordingBar|'; }
# The bar's X window, looked for often: the recording starts with it, and its length is counted
# from there (hiding the selection window takes Wine up to two seconds here, with no window manager).
bar_mapped() { xdotool search --onlyvisible --name '^Glimor recording$' >/dev/null 2>&1; }
in_notepad() { x_focus "$pad" && xdotool key "$1"; }

start_with_notepad() { # Glimor, and notepad in the bottom right corner, out of the recorded rectangle
  wine 'C:\Glimor\Glimor.exe' >"$work/wine.log" 2>&1 &
  wait_for 30 glimor_started || fail "Glimor.exe did not start"
  wine notepad >"$work/notepad.log" 2>&1 &
  wait_for 30 xdotool search --onlyvisible --name 'Notepad' || fail "notepad did not start"
  pad=$(xdotool search --onlyvisible --name 'Notepad' | head -n 1)
  timeout 10 xdotool windowmove --sync "$pad" 724 540 windowsize --sync "$pad" 280 200 || true
}

record_once() { # NAME: records red, green and blue in the rectangle (300, 200)-(700, 500)
  xsetroot -solid '#FF0000'
  xdotool mousemove 20 740
  in_notepad shift+alt+F2
  wait_for 10 selection_visible || fail "Shift+Alt+F2 opened no selection window"
  xdotool mousemove 300 200 mousedown 1
  for step in 1 2 3 4 5 6 7 8; do xdotool mousemove $((300 + 50 * step)) $((200 + 300 * step / 8)); done
  xdotool mouseup 1
  wait_for 10 has_window '^child|1|Button|Record$' || fail "the drag showed no Record button"
  shot "$1-selection"
  click_control Button Record
  xdotool mousemove 20 740 # the pointer is drawn into the frames: away from the rectangle
  for _ in $(seq 200); do bar_mapped && break; sleep 0.05; done
  started=$(now_ms)
  wait_for 10 bar_shown || { shot "$1-no-bar"; fail "no recording bar: $(windows_now | grep "^top|1|")"; }
  shot "$1-bar"
  x_focus "$pad" || fail "the X focus did not move" # it has the keyboard back already; the stop's key then goes at once
  sleep 1.5
  xsetroot -solid '#00FF00'
  sleep 1.5
  xsetroot -solid '#0000FF'
  sleep 1.5
  xclip -selection clipboard /dev/null
  length=$(($(now_ms) - started))
  xdotool key shift+alt+F2
  wait_for 10 not bar_shown || fail "the record hot key did not stop the recording"
  wait_for 30 clipboard_begins "http" || fail "no link after the recording: $(status_text)"
}

start_x 1024x768
fresh_prefix
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 || true
wineserver -w
desktop_args=()
start_server
printf '[Options]\r\nInstalled=1\r\n' >>"$app_dir/Glimor.ini"
start_with_notepad

log "a GIF of red, green and blue"
record_once record-gif
gif=$app_dir/GlimorRecording.gif
[ "$(identify -format '%w %h\n' "$gif" | head -n 1)" = "400 300" ] || fail "the GIF is $(identify -format '%w %h\n' "$gif" | head -n 1)"
colours=$(frame_colours "$gif" | uniq | xargs)
[ "$colours" = "#FF0000 #00FF00 #0000FF" ] || fail "the frames show $colours, not red, green and blue in turn"
delay=$(total_delay_ms "$gif")
log "recorded for $length ms; the GIF lasts $delay ms in frames of $(identify -format "%T " "$gif")cs"
[ $((delay * 5)) -ge $((length * 4)) ] && [ $((delay * 5)) -le $((length * 6)) ] ||
  fail "the GIF lasts $delay ms for a recording of $length ms"
curl -sf "$(clipboard)" -o "$work/served.gif" || fail "the link serves nothing"
cmp -s "$work/served.gif" "$gif" || fail "the link serves other bytes than GlimorRecording.gif"
[ -f "$app_dir/Glimor.jpg" ] && fail "a recording wrote a capture's file"

log "a WebM of the same"
wait_for 10 status_is "Glimor is now ready." || fail "the anti-flood lock did not end: $(status_text)"
printf '[Record]\r\nType=WebM\r\n' >>"$app_dir/Glimor.ini"
record_once record-webm
webm=$app_dir/GlimorRecording.webm
probe=$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height -show_entries format=duration \
  -of default=noprint_wrappers=1 "$webm" | xargs)
log "ffprobe: $probe; recorded for $length ms"
case $probe in "codec_name=vp9 width=400 height=300 duration="*) ;; *) fail "ffprobe reads $probe" ;; esac
duration=$(awk -v d="${probe##*duration=}" 'BEGIN { printf "%d", d * 1000 }')
[ $((duration * 5)) -ge $((length * 4)) ] && [ $((duration * 5)) -le $((length * 6)) ] ||
  fail "the WebM lasts $duration ms for a recording of $length ms"
link=$(clipboard)
curl -sf "$link" -o "$work/served.webm" && cmp -s "$work/served.webm" "$webm" || fail "the link serves other bytes"
/usr/bin/python3 - "$link" <<'PLAY' || fail "Chromium did not play the recording to its end"
import shutil, sys, tempfile
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.support.ui import WebDriverWait
options = webdriver.ChromeOptions()
options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--disable-background-networking", "--disable-component-update", "--no-first-run",
                 "--autoplay-policy=no-user-gesture-required", "--user-data-dir=" + tempfile.mkdtemp()):
    options.add_argument(argument)
driver = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
try:
    driver.set_page_load_timeout(30)
    driver.get(sys.argv[1])
    wait = WebDriverWait(driver, 30)
    wait.until(lambda d: d.execute_script("const v = document.querySelector('video'); return v && v.readyState >= 1"))
    driver.execute_script("const v = document.querySelector('video'); v.muted = true; v.play();")
    wait.until(lambda d: d.execute_script("return document.querySelector('video').ended"))
    print("played %.2f s" % driver.execute_script("return document.querySelector('video').currentTime"))
finally:
    driver.quit()
PLAY

log "the bar at 144 dpi"
wineserver -k >/dev/null 2>&1 || true
wineserver -w
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
wineserver -w
start_with_notepad
record_once record-144dpi
log "passed"
