#!/usr/bin/env bash
# Recording under Wine on a 1920x1080 X screen, with no virtual desktop, so that Glimor reads the
# screen X draws: notepad holds a long text that scrolls while words are typed and the pointer moves.
#  1. 30 s of the whole screen at 15 fps, as GIF and as WebM: frames grabbed and missed, grab and
#     encode cost a frame (the figures Glimor writes in its status line when a recording stops,
#     read from the debugger output).
#  2. Stop to link: the record hot key after 10 s of a 1280x720 rectangle, to the link on the
#     clipboard, with glimor-server on loopback (GIF and WebM).
#  3. Peak memory of a 60 s whole-screen recording above the idle program.
# The peer, in the same run and on the same activity: ffmpeg's x11grab at 15 fps for 30 s into VP9
# (realtime), its duplicated and dropped frames and its peak memory.
# Usage: bench/record_road.sh [seconds of the long recording, default 30]
long=${1:-30}
source "$(dirname "$0")/../tests/e2e/lib.sh"
debug_log=$work/debug.log

in_notepad() { x_focus "$pad" && xdotool key "$1"; }
bar_shown() { windows_now | grep -q '^top|1|GlimorRecordingBar|'; }
glimor_pid() { # this run's Glimor.exe: another run's may be up beside it
  local pid
  for pid in $(pgrep -f 'C:\\Glimor\\Glimor\.exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid" && return
  done
}
kb_of() { awk -v k="$1:" '$1 == k {print $2}' "/proc/$2/status"; }

# activity SECONDS: what a screen shows while someone works: a page scrolls, words are typed, the
# pointer wanders. The same steps every run. It starts with a click into notepad's text: without a
# virtual desktop Wine may leave the foreground elsewhere when a window of ours closes (a balloon
# of the last upload still up), and the X focus alone then takes no keys.
activity() {
  local end=$((SECONDS + $1)) step=0
  x_focus "$pad" || true
  xdotool mousemove 800 500 click 1
  while [ $SECONDS -lt $end ]; do
    step=$((step + 1))
    xdotool mousemove $((200 + (step * 97) % 1500)) $((150 + (step * 61) % 800))
    if [ $((step % 12)) -eq 0 ]; then xdotool key ctrl+Home; else xdotool key Page_Down; fi
    xdotool type --delay 30 "step $step of the road "
  done
}

# The outcome line of the last recording: "Recorded m:ss in N frames, M missed (...)".
last_outcome() { tr -d '\r' <"$debug_log" | grep -o 'Recorded [^"]*' | tail -n 1 | sed 's/\\n$//'; }
outcomes() { tr -d '\r' <"$debug_log" | grep -c 'Recorded ' || true; }

# select_and_record X1 Y1 X2 Y2: the record hot key from notepad, a drag, "Record".
select_and_record() {
  in_notepad shift+alt+F2
  wait_for 10 selection_visible || fail "the record hot key opened no selection window"
  xdotool mousemove "$1" "$2" mousedown 1
  for step in 1 2 3 4 5 6 7 8; do xdotool mousemove $(($1 + ($3 - $1) * step / 8)) $(($2 + ($4 - $2) * step / 8)); done
  xdotool mouseup 1
  wait_for 10 has_window '^child|1|Button|Record$' || { shot record-road-no-button; fail "the drag showed no Record button"; }
  click_control Button Record
  wait_for 10 not selection_visible || { shot record-road-open; fail "the selection stayed open"; }
}

start_x 1920x1080
fresh_prefix
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 || true
wineserver -w
desktop_args=()
start_server --max-upload 400000000 --max-total-pixels 100000000000
printf '[Options]\r\nInstalled=1\r\n[Record]\r\nSeconds=300\r\n' >>"$app_dir/Glimor.ini"
for i in $(seq 3000); do echo "Line $i: the quick brown fox jumps over the lazy dog, again and again, $((i * 7919 % 10007))."; done |
  sed 's/$/\r/' >"$WINEPREFIX/drive_c/text.txt"
xsetroot -solid '#3A6EA5'
WINEDEBUG=-all,+debugstr wine 'C:\Glimor\Glimor.exe' >/dev/null 2>"$debug_log" &
wait_for 30 glimor_started || fail "Glimor.exe did not start"
wine notepad 'C:\text.txt' >/dev/null 2>&1 &
wait_for 30 xdotool search --onlyvisible --name 'Notepad' || fail "notepad did not start"
pad=$(xdotool search --onlyvisible --name 'Notepad' | head -n 1)
timeout 10 xdotool windowmove --sync "$pad" 80 60 windowsize --sync "$pad" 1500 900 || true
sleep 2

# long_recording TYPE SECONDS: the whole screen for that long, stopped by the record hot key;
# prints the outcome line and leaves the peak memory above idle in `peak_mb`.
long_recording() {
  local type=$1 seconds=$2 pid idle before
  set_ini_record_type "$type"
  pid=$(glimor_pid)
  idle=$(kb_of VmRSS "$pid")
  echo 5 >"/proc/$pid/clear_refs" # the peak starts again from here
  before=$(outcomes)
  select_and_record 0 0 1919 1079
  activity "$seconds"
  in_notepad shift+alt+F2
  wait_for 60 outcome_after "$before" || fail "no outcome line after the $type recording"
  peak_mb=$((($(kb_of VmHWM "$pid") - idle) / 1024))
  echo "   $type: $(last_outcome)"
  wait_for 120 status_is "Glimor is now ready." || fail "the upload did not end: $(status_text)"
}
outcome_after() { [ "$(outcomes)" -gt "$1" ]; }
set_ini_record_type() { # the Options page's choice, as Glimor.ini keeps it (read again at each recording)
  sed -i "/^Type=/d" "$app_dir/Glimor.ini"
  sed -i "s/^\[Record\]\r$/[Record]\r\nType=$1\r/" "$app_dir/Glimor.ini"
}

echo "== 1920x1080 at 15 fps under Wine, the whole screen for $long s"
long_recording GIF "$long"
long_recording WebM "$long"

echo "== stop (the record hot key) to the link on the clipboard, 10 s of 1280x720, glimor-server on loopback"
for type in GIF WebM; do
  set_ini_record_type "$type"
  select_and_record 320 180 1600 900
  wait_for 10 bar_shown || fail "no recording bar"
  activity 10
  xclip -selection clipboard /dev/null
  t0=$(now_ms)
  in_notepad shift+alt+F2
  wait_for 30 clipboard_begins http || fail "no link after the $type recording: $(status_text)"
  echo "   $type: $(($(now_ms) - t0)) ms ($(stat -c %s "$app_dir/GlimorRecording.$(echo "$type" | tr A-Z a-z)") bytes; $(last_outcome))"
  wait_for 120 status_is "Glimor is now ready." || fail "the lock did not end: $(status_text)"
done

echo "== peak memory of a 60 s whole-screen recording above the idle program"
long_recording WebM 60
ours_peak=$peak_mb
echo "   WebM: $ours_peak MB above idle"
long_recording GIF 60
echo "   GIF: $peak_mb MB above idle"

echo "== the peer: ffmpeg x11grab, 1920x1080 at 15 fps for $long s into VP9 (realtime)"
x_focus "$pad" || true
/usr/bin/time -f '%M' -o "$work/ffmpeg-peak" ffmpeg -nostdin -loglevel error -stats -f x11grab -framerate 15 \
  -video_size 1920x1080 -i "$DISPLAY" -t "$long" -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -row-mt 1 \
  -b:v 0 -crf 40 -y "$work/peer.webm" 2>"$work/ffmpeg.log" &
ffmpeg_pid=$!
sleep 1
activity "$long"
wait "$ffmpeg_pid" || true
stats=$(tr '\r' '\n' <"$work/ffmpeg.log" | grep 'frame=' | tail -n 1)
echo "   ffmpeg: $(echo "$stats" | grep -o 'frame= *[0-9]*') $(echo "$stats" | grep -o 'dup=[0-9]*') $(echo "$stats" | grep -o 'drop=[0-9]*'), peak $(($(cat "$work/ffmpeg-peak") / 1024)) MB"
awk -v a="$ours_peak" -v b="$(($(cat "$work/ffmpeg-peak") / 1024))" \
  'BEGIN { printf "   peak memory, Glimor (WebM, 60 s, above idle) / ffmpeg (30 s, whole process): %.2f\n", a / b }'
