#!/usr/bin/env bash
# The road a user feels, under Wine, at 1920x1080 and 3840x2160: from the hot key (pressed while
# notepad has the keyboard) to the selection window shown, and from the confirm (Enter on a
# selection of the whole screen) to the upload's first byte at a loopback service that notes when
# each connection's first byte came. Glimor.exe runs in a Wine virtual desktop on Xvfb. With a
# second executable (an earlier build, say) both run in the same session, one press after the
# other, and the ratio of their medians is printed.
# Usage: bench/capture_road.sh [runs, default 7] [OTHER-Glimor.exe]
runs=${1:-7}
other=${2:-}
source "$(dirname "$0")/../tests/e2e/lib.sh"
[ -z "$other" ] || [ -f "$other" ] || fail "no such executable: $other"

# A service that notes the time of each connection's first byte and answers with a link.
first_bytes=$work/first-bytes.txt
port=$(free_port)
python3 - "$port" "$first_bytes" <<'EOF' &
import socket, sys, threading, time
port, log = int(sys.argv[1]), sys.argv[2]
listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", port))
listener.listen(8)
def serve(connection):
    with connection:
        connection.settimeout(30)
        data = connection.recv(65536)
        with open(log, "a") as out:
            out.write("%d\n" % (time.time() * 1000))
        head, _, body = data.partition(b"\r\n\r\n")
        length = next((int(l.split(b":")[1]) for l in head.split(b"\r\n") if l.lower().startswith(b"content-length:")), 0)
        while len(body) < length:
            more = connection.recv(1 << 20)
            if not more:
                return
            body += more
        connection.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nLink: http://127.0.0.1/i/bench\r\n")
deadline = time.time() + 1800
listener.settimeout(5)
while time.time() < deadline:
    try:
        threading.Thread(target=serve, args=(listener.accept()[0],), daemon=True).start()
    except socket.timeout:
        pass
EOF
service_pid=$!
trap 'kill "$service_pid" 2>/dev/null || true; cleanup' EXIT

selection_shown() { xdotool search --onlyvisible --name '^Edit$' >/dev/null 2>&1; }
uploads() { if [ -f "$first_bytes" ]; then wc -l <"$first_bytes"; else echo 0; fi; }
uploads_above() { [ "$(uploads)" -gt "$1" ]; }
# stamp VAR: the wall clock in ms into VAR, without a process of its own (a `date` costs
# milliseconds on a busy machine, before the key it times).
stamp() { local t=${EPOCHREALTIME/./}; printf -v "$1" '%d' $((t / 1000)); }
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

# measure SIZE EXE FROM: the medians of both figures, in ms, into `shown` and `first_byte`, with the
# hot key pressed FROM notepad (its caret in the text) or the desktop (an earlier build loses the
# mouse and the keys to a notepad in its menu's mode, so it is timed from the desktop). Both programs
# run in a Wine virtual desktop of the screen's size, where Wine places and activates windows
# itself (on a bare X server without a window manager, hiding a full-screen window waits two
# seconds for a window manager's answer that never comes).
measure() {
  local size=$1 program=$2 from=$3 i t0 count pad width=${1%x*} height=${1#*x}
  start_x "$size"
  fresh_prefix
  cp "$program" "$app_dir/Glimor.exe"
  printf '[Options]\r\nInstalled=1\r\nImgType=JPEG\r\n[Service]\r\nHost=127.0.0.1:%s\r\n' "$port" >"$app_dir/Glimor.ini"
  wine explorer /desktop=road,"$size" 'C:\Glimor\Glimor.exe' >/dev/null 2>&1 &
  wait_for 90 xdotool search --name 'road - Wine desktop' || fail "no Wine desktop"
  desk=$(xdotool search --name 'road - Wine desktop' | head -n 1)
  wine explorer /desktop=road,"$size" notepad >/dev/null 2>&1 &
  wait_for 60 xdotool search --onlyvisible --name 'Notepad' || fail "no Notepad"
  sleep 3
  pad=$(xdotool search --onlyvisible --name 'Notepad' | head -n 1)
  local shown_times=() byte_times=() keys now
  # The timed keys go through one xdotool that reads them as they come: a new one for each key
  # would put its own start-up (a few to tens of milliseconds) between the stamp and the key.
  exec {keys}> >(exec xdotool -)
  for i in $(seq "$runs"); do
    if [ "$from" = notepad ]; then
      xdotool mousemove --window "$pad" 60 80 click 1 # notepad has the keyboard
    else
      xdotool mousemove --window "$desk" $((width - 120)) $((height / 2)) click 1
    fi
    sleep 0.5
    stamp t0
    echo "key alt+F2" >&"$keys"
    # Looked for every 10 ms, not back to back: a search asks the X server about every window, and
    # searching without pause slowed the server that the program under measure reads the screen from.
    until selection_shown; do
      stamp now
      [ $((now - t0)) -lt 20000 ] || fail "no selection window within 20 s"
      sleep 0.01
    done
    stamp now
    shown_times+=($((now - t0)))
    sleep 0.5
    xdotool mousemove --window "$desk" $((width - 120)) $((height / 2)) click 1 # the bare desktop: the monitor
    sleep 0.5
    count=$(uploads)
    stamp t0
    echo "key Return" >&"$keys"
    wait_for 30 uploads_above "$count" || fail "no upload within 30 s"
    byte_times+=($(($(tail -n 1 "$first_bytes") - t0)))
    wait_for 30 not selection_shown || fail "the selection window stayed open"
    sleep 6 # the anti-flood lock
  done
  exec {keys}>&-
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
  shown=$(median "${shown_times[@]}") first_byte=$(median "${byte_times[@]}")
  echo "   runs: shown ${shown_times[*]}; first byte ${byte_times[*]}" >&2
}

echo "== hot key (notepad in front) to selection shown; Enter on the whole screen to the upload's first byte"
echo "   under Wine, $runs runs each, medians in ms"
for size in 1920x1080 3840x2160; do
  measure "$size" "$exe" notepad
  printf '%-10s this build, from notepad     shown %5s   first byte %5s\n' "$size" "$shown" "$first_byte"
  if [ -n "$other" ]; then
    ours_shown=$shown ours_byte=$first_byte
    measure "$size" "$other" desktop
    printf '%-10s other build, from the desktop shown %5s   first byte %5s\n' "$size" "$shown" "$first_byte"
    awk -v a="$ours_shown" -v b="$shown" -v c="$ours_byte" -v d="$first_byte" \
      'BEGIN { printf "%-10s this / other: shown %.2f, first byte %.2f\n", "", a / b, c / d }'
  fi
done
