#!/usr/bin/env bash
# Capture of a two-monitor virtual screen against one monitor, under Wine: the time from the hot
# key to the selection window shown (a figure, no goal). Glimor.exe runs without a virtual desktop
# on Xorg with the dummy driver: once with a 1024x768 monitor, once with an 800x600 one left of it
# (1824x768 captured). Each press is timed from `xdotool key` to the selection window mapped on
# the X server; the hot-key handler's fixed 100 ms pause is part of it. Prints the median and the
# range of the runs and the ratio of the medians.
# Usage: bench/capture_monitors.sh [runs, default 9]
runs=${1:-9}
source "$(dirname "$0")/../tests/e2e/lib.sh"

# measure LAYOUT: the sorted times in ms, into `times`.
measure() {
  start_xorg_monitors "$1" || { echo "cannot run Xorg here: $xorg_failure" >&2; exit 1; }
  # A window of another Wine program holds the keyboard focus: the hot key reaches Glimor through
  # Wine's server whichever Wine window has it, while Glimor's own windows stay hidden.
  wine notepad >/dev/null 2>&1 &
  wine 'C:\Glimor\Glimor.exe' >/dev/null 2>&1 &
  wait_for 30 xdotool search --onlyvisible --name 'Notepad' || fail "no Notepad"
  wait_for 30 test -f "$app_dir/Glimor.ini" || fail "Glimor.exe did not start"
  sleep 2
  local pad i t0 t1
  times=()
  pad=$(xdotool search --onlyvisible --name 'Notepad' | head -n 1)
  for i in $(seq "$runs"); do
    x_focus "$pad" || fail "the X focus did not move"
    t0=$(now_ms)
    xdotool key alt+F2
    until xdotool search --onlyvisible --name '^Edit$' >/dev/null 2>&1; do
      [ $(($(now_ms) - t0)) -lt 10000 ] || fail "no selection window within 10 s"
    done
    t1=$(now_ms)
    times+=($((t1 - t0)))
    x_focus "$(xdotool search --onlyvisible --name '^Edit$' | head -n 1)" || fail "the X focus did not move"
    xdotool key Escape
    wait_for 10 not xdotool search --onlyvisible --name '^Edit$' || fail "Esc did not close the selection window"
    sleep 1.2 # the tool window's timer re-arms the hot key within a second
  done
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  kill "$xorg_pid" 2>/dev/null || true
  wait "$xorg_pid" 2>/dev/null || true
  xorg_pid=""
  mapfile -t times < <(printf '%s\n' "${times[@]}" | sort -n)
}

start_x
fresh_prefix
printf '[Options]\r\nInstalled=1\r\n' >"$app_dir/Glimor.ini"
kill "$xvfb_pid"
xvfb_pid=""
measure one
one=("${times[@]}")
measure two
two=("${times[@]}")
median() { local a=("$@"); echo "${a[$((${#a[@]} / 2))]}"; }
m1=$(median "${one[@]}") m2=$(median "${two[@]}")
echo "== hot key to selection window shown, under Wine ($runs runs each, ms)"
printf '%-34s median %5s   range %s-%s\n' "one monitor, 1024x768" "$m1" "${one[0]}" "${one[-1]}"
printf '%-34s median %5s   range %s-%s\n' "two monitors, 1824x768 virtual" "$m2" "${two[0]}" "${two[-1]}"
awk -v a="$m2" -v b="$m1" 'BEGIN { printf "two monitors / one monitor: %.2f\n", a / b }'
