#!/usr/bin/env bash
# The update hand-over's second and third stages with the real file operations:
# a downloaded copy started with -updating replaces Glimor.exe and starts it with
# -updated, which reports, deletes the download and starts normally; and when
# Glimor.exe cannot be replaced, the installed program is kept whole.
source "$(dirname "$0")/lib.sh"

start_x
fresh_prefix
# The installed program differs from the download by one trailing byte.
printf 'X' >>"$app_dir/Glimor.exe"
cp "$exe" "$app_dir/new.exe"

# A file that even root cannot replace: the rename over it fails as it would
# for a locked or protected program on Windows.
if chattr +i "$app_dir/Glimor.exe" 2>/dev/null; then
  trap 'chattr -i "$app_dir/Glimor.exe" 2>/dev/null; cleanup' EXIT
  log "Glimor.exe cannot be replaced: the update fails and the installed program stays"
  old=$(sha256sum <"$app_dir/Glimor.exe")
  program='C:\Glimor\new.exe' start_glimor -updating
  wait_for 20 message_shown "Unable to replace old file. Update failed." || fail "no failure message"
  [ "$(sha256sum <"$app_dir/Glimor.exe")" = "$old" ] || fail "the installed program was changed"
  [ -e "$app_dir/Glimor.exe.new" ] && fail "the staged copy was left behind"
  click_control Button OK
  # The download goes on as an ordinary first start.
  wait_for 20 main_visible || fail "the download did not start as the program"
  wineserver -k
  chattr -i "$app_dir/Glimor.exe"
  rm -f "$app_dir/Glimor.ini"
else
  log "chattr is not available here: the failing half is not run"
fi

log "Glimor.exe is replaced, started with -updated, and the download removed"
program='C:\Glimor\new.exe' start_glimor -updating
wait_for 30 message_shown "Update successful. You are running version: 1.01" || fail "no success message"
cmp -s "$exe" "$app_dir/Glimor.exe" || fail "Glimor.exe was not replaced by the download"
click_control Button OK
wait_for 10 not test -e "$app_dir/new.exe" || fail "the downloaded copy was not deleted"
wait_for 20 main_visible || fail "the installed copy did not start"
log "passed"
