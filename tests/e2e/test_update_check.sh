#!/usr/bin/env bash
# The whole update: Glimor 1.01 finds "1.02" in the version file glimor-server publishes, downloads
# the new executable beside itself 5 s after start, starts it with -updating 2 s later and ends;
# the three stages of the hand-over then leave the new copy running as Glimor.exe and the download
# deleted.
source "$(dirname "$0")/lib.sh"

start_x
fresh_prefix
mkdir -p "$work/updates"
# The new executable differs from the installed one by one trailing byte, so the swap shows.
cp "$exe" "$work/updates/Glimor2.exe"
printf 'X' >>"$work/updates/Glimor2.exe"
start_server --updates "$work/updates"
printf 'http://%s/Glimor2.exe\r\nGlimor2.exe\r\n1.02\r\n' "$host" >"$work/updates/newglimor.txt"
click_ok() { xdotool mousemove --window "$desk" 512 392 click 1; }

start_glimor
log "the automatic check downloads Glimor2.exe"
wait_for 30 test -s "$app_dir/Glimor2.exe" || fail "no download beside the program"
wait_for 30 message_shown "Update successful. You are running version: 1.01" || fail "no success message"
cmp -s "$work/updates/Glimor2.exe" "$app_dir/Glimor.exe" || fail "Glimor.exe was not replaced by the new copy"
[ ! -e "$app_dir/Glimor.upd" ] || fail "the version file was left behind"
shot update-success
click_ok
wait_for 10 not test -e "$app_dir/Glimor2.exe" || fail "the downloaded copy was not deleted"
wait_for 20 has_window '^top|.*|GlimorMain|' || fail "the new copy is not running"
log "passed"
