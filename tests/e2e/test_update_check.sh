#!/usr/bin/env bash
# The whole update: Glimor 1.01 finds "1.02" in the version file glimor-server publishes, signed
# with a key made here that Glimor.ini names, downloads the new executable beside itself 5 s after
# start, starts it with -updating 2 s later and ends; the three stages of the hand-over then leave
# the new copy running as Glimor.exe and the download deleted; the new copy, which still calls
# itself 1.01, does not take the same update again. Then an executable changed after signing is
# downloaded, refused and deleted, and the running program goes on. First, a service
# that accepts the connection and never answers keeps neither the window nor the hot key waiting.
source "$(dirname "$0")/lib.sh"
cli=$root/build/linux/src/cli/glimor-cli
[ -x "$cli" ] || fail "glimor-cli not built: $cli"

log "glimor-cli makes the update key, signs and checks"
key=$("$cli" update-key "$work/update.key") || fail "update-key"
[ "$(stat -c %a "$work/update.key")" = 600 ] || fail "the secret key file is readable by others"
"$cli" update-key "$work/update.key" >/dev/null 2>&1 && fail "update-key wrote over an existing file"
mkdir -p "$work/updates"
# The new executable differs from the installed one by one trailing byte, so the swap shows.
cp "$exe" "$work/updates/Glimor2.exe"
printf 'X' >>"$work/updates/Glimor2.exe"
# sign [EXE]: the version file for Glimor2.exe, with the digest of EXE (Glimor2.exe itself unless given)
sign() { "$cli" sign-update "$work/update.key" "${1:-$work/updates/Glimor2.exe}" "http://$host/Glimor2.exe" Glimor2.exe 1.02; }
host=checked.invalid sign >"$work/checked.txt" || fail "sign-update"
"$cli" verify-update "$work/checked.txt" "$work/updates/Glimor2.exe" "$key" >/dev/null ||
  fail "verify-update refuses what it signed"
[ "$("$cli" verify-update "$work/checked.txt" "$exe" "$key" 2>&1 >/dev/null)" = \
  "Update refused: the download does not match its signature." ] || fail "verify-update took another file"

start_x
fresh_prefix

log "a service that never answers the version file holds nothing up"
silent_port=$(free_port)
# Accepts and reads, never answers; ends by itself.
timeout 120 python3 -c 'import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen(8); held = []
while True: c, _ = s.accept(); held.append(c)' "$silent_port" &
silent_pid=$!
printf '[Service]\r\nHost=127.0.0.1:%s\r\n[Update]\r\nPublicKey=%s\r\n' "$silent_port" "$key" >"$app_dir/Glimor.ini"
start_glimor
wait_for 30 update_status_is "Getting info..." || fail "the check did not start: $(update_status_text)"
focus_desktop
xdotool key alt+F2
wait_for 10 selection_visible || fail "Alt+F2 opened no selection while the check waits"
focus_desktop
xdotool key Escape
wait_for 10 status_is "Cropping picture canceled." || fail "status after Esc: $(status_text)"
update_status_is "Getting info..." || fail "the check ended early: $(update_status_text)"
shot update-waits
wineserver -k
kill "$silent_pid" 2>/dev/null || true
rm -f "$app_dir"/*.part

start_server --updates "$work/updates"
sign >"$work/updates/newglimor.txt"
printf '[Update]\r\nPublicKey=%s\r\n' "$key" >>"$app_dir/Glimor.ini"

start_glimor
log "the automatic check downloads Glimor2.exe"
wait_for 30 test -s "$app_dir/Glimor2.exe" || fail "no download beside the program"
wait_for 30 message_shown "Update successful. You are running version: 1.01" || fail "no success message"
cmp -s "$work/updates/Glimor2.exe" "$app_dir/Glimor.exe" || fail "Glimor.exe was not replaced by the new copy"
[ ! -e "$app_dir/Glimor.upd" ] || fail "the version file was left behind"
shot update-success
click_control Button OK
wait_for 10 not test -e "$app_dir/Glimor2.exe" || fail "the downloaded copy was not deleted"
wait_for 20 has_window '^top|.*|GlimorMain|' || fail "the new copy is not running"

# It still calls itself 1.01 while the version file says 1.02: its own check must not update again.
log "the installed update is not taken again"
wait_for 30 update_status_is "Update already installed." || fail "status panel 1: $(update_status_text)"
click_tray_icon # the window, to see the text fit its panel
wait_for 10 main_visible || fail "the tray icon did not show the window"
shot update-installed
[ ! -e "$app_dir/Glimor2.exe" ] || fail "the same update was downloaded again"
cmp -s "$work/updates/Glimor2.exe" "$app_dir/Glimor.exe" || fail "Glimor.exe was changed"

log "an executable changed after signing is refused and deleted"
wineserver -k
cp "$work/updates/Glimor2.exe" "$work/signed.exe"
printf 'Z' >>"$work/signed.exe"
sign "$work/signed.exe" >"$work/updates/newglimor.txt"
printf 'Y' >>"$work/updates/Glimor2.exe"
installed=$(sha256sum <"$app_dir/Glimor.exe")
start_glimor
wait_for 40 update_status_is "Refused: bad download." ||
  fail "status panel 1: $(update_status_text)"
shot update-refused
[ ! -e "$app_dir/Glimor2.exe" ] || fail "the refused download was left beside the program"
[ ! -e "$app_dir/Glimor.upd" ] || fail "the version file was left behind"
sleep 3 # past the 2 s hand-over timer
[ "$(sha256sum <"$app_dir/Glimor.exe")" = "$installed" ] || fail "Glimor.exe was changed"
has_window '^top|.*|GlimorMain|' || fail "the running program ended"
log "passed"
