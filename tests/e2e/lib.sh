# Shared steps of the end-to-end tests: a fresh Wine prefix, Xvfb, a Wine
# virtual desktop running Glimor.exe, screenshots, bounded waits.
# Source it; it sets root, exe, artifacts and installs a cleanup trap.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tests/support/wine_env.sh"
source "$root/tests/support/glimor_server.sh"
exe=$GLIMOR_WINDOWS_BUILD/src/win32/Glimor.exe
probe_exe=$GLIMOR_WINDOWS_BUILD/tests/glimor_probe.exe
artifacts=$root/build/artifacts
mkdir -p "$artifacts"
[ -f "$exe" ] || { echo "Glimor.exe not built: $exe"; exit 1; }

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d "$root/build/e2e.XXXXXX")
export WINEPREFIX=$work/prefix
xvfb_pid=""
xorg_pid=""
server_pid=""

# A test whose step never returns (an X client waiting for an answer that does not come) would run
# into ctest's limit and be killed without a word: before that (GLIMOR_E2E_WATCHDOG seconds, set by
# ctest), this says what the test's processes are doing, then ends them all, so that the step fails
# with its own message.
watchdog() { # SECONDS
  local end=$((SECONDS + $1)) test_pid=$$ self=$BASHPID
  while kill -0 "$test_pid" 2>/dev/null; do
    if [ $SECONDS -ge $end ]; then
      echo "WATCHDOG: still running after $1 s; its processes:"
      ps -e -o pid=,ppid=,etimes=,args= | awk -v top="$test_pid" -v self="$self" '
        { parent[$1] = $2; line[$1] = $0; order[NR] = $1 }
        END { for (i = 1; i <= NR; i++) { p = order[i]; q = p
                while (q in parent && q != top && q != self && q != 1) q = parent[q]
                if (q == top && p != top) print "  " line[p] } }' |
        tee "$work/stuck"
      awk '{ print $1 }' "$work/stuck" | xargs -r kill 2>/dev/null
      return
    fi
    sleep 2 >/dev/null 2>&1
  done
}
watchdog_pid=""
if [ -n "${GLIMOR_E2E_WATCHDOG:-}" ]; then
  watchdog "$GLIMOR_E2E_WATCHDOG" &
  watchdog_pid=$!
fi
# How windows_now reaches Glimor's windows: in the virtual desktop "glimor", or (empty) on the
# X server's own desktop.
desktop_args=(explorer /desktop=glimor,1024x768)

cleanup() {
  [ -n "$watchdog_pid" ] && kill "$watchdog_pid" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "$xorg_pid" ] && kill "$xorg_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# fail MESSAGE: ends the test; what glimor-server last said, when one ran, helps to tell a slow
# exchange from a stuck one.
fail() {
  echo "FAIL: $*"
  if [ -s "$work/server.log" ]; then
    echo "glimor-server's last words:"
    tail -n 15 "$work/server.log"
  fi
  exit 1
}
log() { echo "[$(date +%T)] $*"; }

# wait_for SECONDS COMMAND...: polls every 0.25 s until the command succeeds.
wait_for() {
  local limit=$1; shift
  local end=$((SECONDS + limit))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.25
  done
}

# start_x [WIDTHxHEIGHT]: Xvfb of that size (1024x768) on a display number the server takes for
# itself (-displayfd: its lock file decides, so tests started together never share one).
start_x() {
  local number=$work/xvfb-display
  : >"$number"
  Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp 3>"$number" >/dev/null 2>&1 &
  xvfb_pid=$!
  wait_for 10 test -s "$number" || fail "no X display"
  export DISPLAY=":$(head -n 1 "$number")"
  wait_for 10 xdpyinfo || fail "no X display at $DISPLAY"
}

# start_xorg_monitors [one]: Xorg with the dummy driver and Xinerama: a 1024x768 primary monitor
# and an 800x600 one left of it (root x 0-799), or the primary alone. A Wine virtual desktop always
# shows one monitor, and so does Xvfb, so several monitors need this server. Wine takes the
# monitors from Xinerama when RandR is off, and places them all only when it does not use
# XF86VidMode either (with it, every monitor but the first is left out): Wine's own setting
# UseXVidMode=N in the prefix. Sets DISPLAY; fails with the reason in xorg_failure when Xorg
# cannot run here.
start_xorg_monitors() {
  local conf=$work/xorg.conf display left=""
  command -v Xorg >/dev/null && [ -f /usr/lib/xorg/modules/drivers/dummy_drv.so ] ||
    { xorg_failure="Xorg or its dummy driver (xserver-xorg-video-dummy) is not installed"; return 1; }
  [ "${1:-}" = one ] || left='Screen 1 "S1" LeftOf "S0"'
  cat >"$conf" <<XORG
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "Xinerama" "on"
EndSection
Section "Extensions"
  Option "RANDR" "Disable"
EndSection
Section "Device"
  Identifier "D0"
  Driver "dummy"
  VideoRam 16384
EndSection
Section "Device"
  Identifier "D1"
  Driver "dummy"
  VideoRam 16384
EndSection
Section "Monitor"
  Identifier "M0"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1024x768" 63.50 1024 1072 1176 1328 768 771 775 798
EndSection
Section "Monitor"
  Identifier "M1"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "800x600" 38.25 800 832 912 1024 600 603 607 624
EndSection
Section "Screen"
  Identifier "S0"
  Device "D0"
  Monitor "M0"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1024x768"
  EndSubSection
EndSection
Section "Screen"
  Identifier "S1"
  Device "D1"
  Monitor "M1"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "800x600"
  EndSubSection
EndSection
Section "ServerLayout"
  Identifier "L"
  Screen 0 "S0"
  $left
EndSection
XORG
  local number=$work/xorg-display
  : >"$number"
  Xorg -displayfd 3 -config "$conf" -noreset -nolisten tcp -novtswitch -sharevts \
    -logfile "$work/xorg.log" 3>"$number" >"$work/xorg.out" 2>&1 &
  xorg_pid=$!
  if wait_for 15 test -s "$number" && DISPLAY=":$(head -n 1 "$number")" wait_for 15 xdpyinfo; then
    export DISPLAY=":$(head -n 1 "$number")"
    # Wine's server ends before the next program starts, so that one meets this display.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXVidMode /d N /f >/dev/null 2>&1 || true
    wineserver -w
    return 0
  fi
  kill "$xorg_pid" 2>/dev/null || true
  xorg_pid=""
  xorg_failure="Xorg did not start: $({ cat "$work/xorg.out" "$work/xorg.log" 2>/dev/null || true; } |
    grep -m1 -E '\(EE\) [^ ]|Fatal' || echo 'no reason logged')"
  return 1
}

fresh_prefix() {
  log "new Wine prefix"
  # wineboot takes most of half a minute, a copy a second or two: the prefix is made once for the
  # build folder (for this Wine) and copied for each test, one maker at a time.
  local template=$root/build/wine-template-$GLIMOR_WINDOWS_PRESET version
  version=$(wine --version 2>/dev/null || echo unknown)
  (
    flock 9
    if [ "$(cat "$template/.made-by" 2>/dev/null)" != "$version" ]; then
      rm -rf "$template"
      export WINEPREFIX=$template
      timeout 120 wineboot -i >/dev/null 2>&1 || exit 1
      wineserver -w
      # Wine's own fonts (Marlett for the caption buttons, MS Sans Serif, Tahoma), where a
      # Windows installation has them: this Wine build does not look in its data folder.
      # Windows also has Microsoft Sans Serif, the outline twin of MS Sans Serif that scaled text
      # uses; Wine has not, and Tahoma is its nearest face.
      cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
      wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'Microsoft Sans Serif' \
        /d Tahoma /f >/dev/null 2>&1 || true
      wineserver -w
      echo "$version" >"$template/.made-by"
    fi
  ) 9>"$root/build/wine-template-$GLIMOR_WINDOWS_PRESET.lock" || fail "wineboot"
  rm -rf "$WINEPREFIX"
  cp -a "$template" "$WINEPREFIX"
  app_dir=$WINEPREFIX/drive_c/Glimor
  mkdir -p "$app_dir"
  cp "$exe" "$app_dir/Glimor.exe"
  cp "$probe_exe" "$WINEPREFIX/drive_c/probe.exe"
}

# windows_now: the windows of the Glimor desktop, one per line (see tests/e2e/probe.cpp). A lister
# kept running in that desktop answers each request, and ends after five seconds without one. A new
# one is started when the last answer is older than that, or none comes within a second (after
# Wine's server was ended).
windows_now() {
  local dir=$WINEPREFIX/drive_c/probe
  local list=$dir/windows.txt last tries
  mkdir -p "$dir"
  last=$(stat -c %Y "$list" 2>/dev/null || echo 0)
  rm -f "$list"
  : >"$dir/request"
  if [ $(($(date +%s) - last)) -lt 4 ]; then
    for tries in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
      [ -f "$list" ] && break
      sleep 0.05
    done
  fi
  if [ ! -f "$list" ]; then
    start_lister
    wait_for 20 test -f "$list" || fail "the window lister gave no answer"
  fi
  # A reader such as grep -q may stop before the end: no broken pipe fails the caller.
  tr -d '\r' <"$list" || true
}

# check_layout NAME [FAULTS]: a screenshot NAME.png of what is shown, and beside it NAME.txt, the
# controls shown side by side (glimor_probe.exe --layout); fails when two of them overlap or a
# caption does not fit its control (FAULTS: the kinds looked for, default 'overlap|cut').
check_layout() {
  local list=$WINEPREFIX/drive_c/layout.txt faults kinds=${2:-overlap|cut}
  shot "$1"
  rm -f "$list"
  wine "${desktop_args[@]}" 'C:\probe.exe' --layout 'C:\layout.txt' >/dev/null 2>&1 &
  wait_for 20 test -f "$list" || fail "the layout probe gave no answer"
  tr -d '\r' <"$list" >"$artifacts/$1.txt"
  # -a: a caption outside ASCII must not make grep call the list binary and print no line.
  faults=$(grep -aE "^($kinds)\\|" "$artifacts/$1.txt" || true)
  [ -z "$faults" ] || fail "$1: $(echo $faults)"
}

# start_lister: the window lister of windows_now, started in the Glimor desktop.
start_lister() { wine "${desktop_args[@]}" 'C:\probe.exe' --serve 'C:\probe' >/dev/null 2>&1 & }

# The main window's status panel 0.
status_text() { windows_now | awk -F'|' '$1=="top"{main=($3=="GlimorMain")} main && $3=="msctls_statusbar32"{print $4}'; }
# The main window's status panel 1 (the update check's).
update_status_text() { windows_now | awk -F'|' '$1=="top"{main=($3=="GlimorMain")} main && $1=="panel" && $2==1{print $3}'; }
main_visible() { windows_now | grep -q '^top|1|GlimorMain|Glimor$'; }
# A visible message box (dialog class #32770) showing this text.
message_shown() { windows_now | awk -F'|' -v t="$1" '$1=="top"{box=($3=="#32770" && $2==1)} box && $4==t{found=1} END{exit !found}'; }
# A visible message box whose text begins with this.
message_begins() { windows_now | awk -F'|' -v t="$1" '$1=="top"{box=($3=="#32770" && $2==1)} box && index($4, t)==1{found=1} END{exit !found}'; }

# control_rect CLASS TEXT [N]: "LEFT TOP RIGHT BOTTOM" in screen coordinates of the Nth (default
# first) visible control of this window class and text ("*": any text), or with CLASS "tab" of the
# Nth tab of this text; empty when there is none. Then the virtual screen's left and top edges.
control_rect() {
  windows_now | awk -F'|' -v cls="$1" -v text="$2" -v nth="${3:-1}" '
    $1 == "screen" { left = $2; top = $3 }
    $1 == "rect" && hit && ++found == nth { print $2, $3, $4, $5, left, top; exit }
    { hit = ($1 == "child" && $2 == 1 && $3 == cls && (text == "*" || $4 == text)) ||
            ($1 == "tab" && cls == "tab" && $3 == text) }'
}

# control_centre CLASS TEXT [N]: "X Y", the centre of that control (see control_rect) in the
# coordinates that click_at takes.
control_centre() {
  control_rect "$@" | awk '{ print int(($1 + $3) / 2) - $5, int(($2 + $4) / 2) - $6 }'
}

# click_at X Y [BUTTON]: a click at this point of the Wine desktop, or of the X screen where
# Glimor runs without one (desktop_args empty), whose left and top edges are the virtual screen's.
click_at() {
  if [ ${#desktop_args[@]} -gt 0 ]; then
    xdotool mousemove --window "$desk" "$1" "$2" click "${3:-1}"
  else
    xdotool mousemove "$1" "$2" click "${3:-1}"
  fi
}

# click_control CLASS TEXT [N]: a click on the centre of that control (see control_centre), waited
# for up to 10 s; fails when it does not show.
click_control() {
  local at end=$((SECONDS + 10))
  until at=$(control_centre "$@") && [ -n "$at" ]; do
    [ $SECONDS -lt $end ] || fail "no visible $1 \"$2\" ${3:+(number $3) }to click"
    sleep 0.25
  done
  click_at $at
}

# click_title CLASS: a click on the caption of the visible top-level window of this class.
click_title() {
  local at
  at=$(windows_now | awk -F'|' -v cls="$1" '$1 == "screen" { left = $2; top = $3 }
    $1 == "top" { hit = ($2 == 1 && $3 == cls) }
    $1 == "rect" && hit { print int(($2 + $4) / 2) - left, $3 + 10 - top; exit }
    $1 == "rect" { hit = 0 }')
  [ -n "$at" ] || fail "no visible $1 window"
  click_at $at
}

# top_rect CLASS: "LEFT TOP RIGHT BOTTOM" of the first visible top-level window of this class.
top_rect() {
  windows_now | awk -F'|' -v cls="$1" '$1 == "top" { hit = ($2 == 1 && $3 == cls) }
    $1 == "rect" && hit { print $2, $3, $4, $5; exit }
    $1 == "rect" { hit = 0 }'
}

# click_tray_icon [BUTTON]: Wine's explorer draws the tray icons into its tray window (class
# Shell_TrayWnd, the desktop's bottom edge) from the right, not as windows of their own: Glimor's,
# the only one, is the 22 pixels at its right end.
click_tray_icon() {
  local left top right bottom
  read -r left top right bottom <<<"$(top_rect Shell_TrayWnd)"
  [ -n "$bottom" ] || fail "no tray window"
  xdotool mousemove --window "$desk" $((right - 11)) $(((top + bottom) / 2)) click "${1:-1}"
}
# open_tray_menu: the menu opens upwards from the icon (a popup menu: class #32768).
open_tray_menu() {
  click_tray_icon 3
  wait_for 10 has_window '^top|1|#32768|' || fail "the tray menu did not open"
}
# click_menu_row N: a click on row N (0 the first, -1 the last) of the topmost open menu. Menu items
# are no windows: rows are 18 pixels high at 96 dpi, from 3 pixels inside the menu's frame.
click_menu_row() {
  local left top right bottom y
  read -r left top right bottom <<<"$(top_rect '#32768')"
  [ -n "$bottom" ] || fail "no open menu"
  if [ "$1" -ge 0 ]; then y=$((top + 9 + 18 * $1)); else y=$((bottom - 7 + 18 * ($1 + 1))); fi
  xdotool mousemove --window "$desk" $(((left + right) / 2)) "$y"
  sleep 0.3 # the menu takes the click for the item it has highlighted on the pointer's move
  xdotool click 1
}

# press_hot_key [KEYS]: the hot key (Alt+F2 unless given) to the desktop, then the selection window.
press_hot_key() {
  focus_desktop
  xdotool key "${1:-alt+F2}"
  wait_for 10 selection_visible || fail "${1:-alt+F2} opened no selection window"
}

# press_hot_key_in_notepad [KEYS]: the same while a notepad in the virtual desktop has the keyboard,
# as a user presses it at work; Glimor's main window is hidden first, so that it covers nothing.
press_hot_key_in_notepad() {
  local left top right bottom
  main_visible && click_tray_icon
  wait_for 10 not main_visible || fail "the tray icon did not hide the window"
  if ! has_window '^top|1|Notepad|'; then
    wine explorer /desktop=glimor,1024x768 notepad >"$work/notepad.log" 2>&1 &
    wait_for 30 has_window '^top|1|Notepad|' || fail "notepad did not start in the virtual desktop"
  fi
  read -r left top right bottom <<<"$(top_rect Notepad)"
  click_at $((left + 60)) $((top + 80))
  wait_for 10 foreground_is 'Notepad|' || fail "notepad does not have the keyboard: $(windows_now | grep '^foreground')"
  xdotool key "${1:-alt+F2}"
  wait_for 10 selection_visible || fail "${1:-alt+F2} in notepad opened no selection window"
}

# drag X1 Y1 X2 Y2: the left button pressed at the first point, moved in eight steps and released at
# the second (desktop pixels); then waits for the selection's panel.
drag_start() { xdotool mousemove --window "$desk" "$1" "$2" mousedown 1; }
drag_move() { # X1 Y1 X2 Y2: eight steps from the first point to the second, the button held
  local step
  for step in 1 2 3 4 5 6 7 8; do
    xdotool mousemove --window "$desk" $(($1 + ($3 - $1) * step / 8)) $(($2 + ($4 - $2) * step / 8))
  done
}
drag_end() {
  xdotool mouseup 1
  wait_for 10 has_window '^child|1|Button|Glimo Selection !$' || fail "the drag showed no selection panel"
}
drag() { drag_start "$1" "$2"; drag_move "$@"; drag_end; }

# capture [PRESS]: Alt+F2 (by press_hot_key unless PRESS names another), a drag from (100, 120) to
# (420, 360), "Glimo Selection !".
capture() {
  "${1:-press_hot_key}"
  drag 100 120 420 360
  click_control Button 'Glimo Selection !'
}

# start_glimor [ARGS]: Glimor.exe (or $program) in a 1024x768 virtual desktop named glimor.
start_glimor() {
  wine explorer /desktop=glimor,1024x768 "${program:-C:\Glimor\Glimor.exe}" "$@" >"$work/wine.log" 2>&1 &
  # The first start in a fresh prefix sets Wine up; on a machine busy with a build that alone may
  # take most of a minute.
  wait_for 90 xdotool search --name 'glimor - Wine desktop' || fail "no Wine desktop window"
  desk=$(xdotool search --name 'glimor - Wine desktop' | head -n 1)
  # Started now, the lister is ready by the first look, whose wait then waits for Glimor alone.
  start_lister
}


# serve [ARGS]: glimor-server of the native build on a free loopback port; sets server_pid and host.
serve() {
  local server=$root/build/linux/server/glimor-server
  [ -x "$server" ] || fail "glimor-server not built: $server"
  mkdir -p "$work/data"
  # Generous limits: a test run uploads and sends feedback faster than a person does.
  start_glimor_server "$server" "$work/server.log" --data "$work/data" --upload-rate 600 --feedback-rate 600 "$@" ||
    fail "glimor-server did not start"
  server_pid=$glimor_server_pid
  host=127.0.0.1:$glimor_server_port
}

# start_server [ARGS]: serve, and Glimor.ini pointing at it. With --tls-cert and --tls-key among
# ARGS it serves https, and the setting names localhost.
start_server() {
  serve "$@"
  local setting=$host
  case " $* " in *" --tls-cert "*) host=localhost:$glimor_server_port setting=https://$host ;; esac
  printf '[Service]\r\nHost=%s\r\n' "$setting" >"$app_dir/Glimor.ini"
}

# make_test_ca: a throwaway CA and service certificates in $work/ca (see tests/support/make_test_ca.sh).
make_test_ca() { bash "$root/tests/support/make_test_ca.sh" "$work/ca" >/dev/null; }

shot() { timeout 30 import -window root "$artifacts/$1.png" || echo "no screenshot $1"; }

# The colour of one screen pixel as "r,g,b" (0-255).
pixel() {
  timeout 30 import -window root -crop "1x1+$1+$2" -depth 8 txt:- | sed -n '2s/.*srgb(\([0-9,]*\)).*/\1/p'
}

ini_value() { # KEY
  tr -d '\r' <"$app_dir/Glimor.ini" 2>/dev/null | sed -n "s/^$1=//p"
}

# x_focus ID: the X focus to that window, waiting for it a few seconds at most (xdotool's own
# --sync waits for ever, and Wine may hand the focus on before it is seen).
x_focus() {
  local try
  for try in 1 2 3; do
    timeout 3 xdotool windowfocus --sync "$1" 2>/dev/null && return 0
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && return 0
  done
  return 1
}
focus_desktop() { x_focus "$desk" || true; }
not() { ! "$@"; }
focus_now() { windows_now | sed -n 's/^focus|//p'; } # CLASS|TEXT of the control with the focus
focus_is() { focus_now | grep -q "^$1"; }
# focus_x_window NAME: the X focus to the visible X window of that name. Wine gives a top-level
# window such as a message box an X window of its own inside the desktop's, and drops keys typed
# while the X focus is elsewhere, even on the desktop's.
focus_x_window() {
  local id
  id=$(xdotool search --onlyvisible --name "$1" | head -n 1)
  [ -n "$id" ] || fail "no X window named $1"
  x_focus "$id" || fail "the X focus did not reach the window named $1"
}
# foreground_is CLASS|TEXT|MENU-MODE|FOCUS-CLASS: the window the keys go to, matched from the start.
foreground_is() { windows_now | grep -q "^foreground|$1"; }
# image_size_is FILE "W H": the file decodes as an image of that size. The crop files other than the
# upload's own are written once the upload has started, so a test waits for them with this.
image_size_is() { [ "$(identify -format '%w %h' "$1" 2>/dev/null)" = "$2" ]; }
is_checked() { windows_now | grep -qxF "checked|$1"; } # a ticked box or chosen radio button, by caption
run_value() { # HKLM|HKCU: the autostart value's data
  wine reg query "$1\Software\Microsoft\Windows\CurrentVersion\Run" /v Glimor 2>/dev/null | tr -d '\r' |
    sed -n 's/.*REG_SZ *//p'
}
run_value_is() { [ "$(run_value "$1")" = "$2" ]; }
has_window() { windows_now | grep -q "$1"; }
selection_visible() { windows_now | grep -q '^top|1|GlimorSelection|'; }
# mtime of a file, 0 when missing.
mtime() { stat -c %.9Y "$1" 2>/dev/null || echo 0; }
status_is() { [ "$(status_text)" = "$1" ]; }
# The start has read the settings and registered the hot key once it shows the version.
glimor_started() { windows_now | grep -qF '|Static|1.01'; }
pixel_is() { [ "$(pixel "$1" "$2")" = "$3" ]; } # X Y R,G,B
focus_moved_from() { focus=$(focus_now); [ "$focus" != "$1" ]; } # leaves the new one in focus
# clipboard [TARGET]: the X clipboard as text (or as TARGET); nothing when its owner does not answer
# within 5 s, for which xclip itself would wait for ever.
clipboard() { timeout 5 xclip -o -selection clipboard ${1:+-t "$1"} 2>/dev/null; }
clipboard_is() { [ "$(clipboard)" = "$1" ]; }
clipboard_begins() { case $(clipboard) in "$1"*) return 0 ;; *) return 1 ;; esac; }
# curl: every request a test makes ends within a minute, answered or not.
curl() { command curl --max-time 60 "$@"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
update_status_is() { [ "$(update_status_text)" = "$1" ]; }

# run_wine_bench TARGET [WIDTHxHEIGHT]: the Windows build's bench/win32 TARGET.exe under Wine on a
# screen of that size (default 3840x2160) in a fresh prefix, its output on stdout.
run_wine_bench() {
  local exe=$GLIMOR_WINDOWS_BUILD/bench/win32/$1.exe
  [ -f "$exe" ] || fail "not built: $exe (cmake --build --preset $GLIMOR_WINDOWS_PRESET --target $1)"
  start_x "${2:-3840x2160}"
  fresh_prefix
  cp "$exe" "$WINEPREFIX/drive_c/$1.exe"
  timeout 600 wine "C:\\$1.exe" | tr -d '\r'
}
