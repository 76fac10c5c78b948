#!/usr/bin/env bash
# Glimor.exe in a folder whose name no ANSI code page holds (Cyrillic, Greek and CJK at once):
# Glimor.ini is written there and read back, a capture (the hot key pressed in notepad) writes its three files there and uploads
# the JPEG to glimor-server (the link on the clipboard and served, the history beside the program),
# the upload file field shows the path as it is, the Run value names the program's own path, and
# an uploader file named in those characters in Glimor.ini takes a second upload.
source "$(dirname "$0")/lib.sh"

# Wine maps file names and arguments through the Unix locale's character set; its ANSI code page
# stays 1252, which has none of these characters.
export LC_ALL=C.UTF-8
folder='Glimor-Привет-Ωμέγα-截图'
program="C:\\$folder\\Glimor.exe"

start_x
fresh_prefix
mkdir -p "$WINEPREFIX/drive_c/$folder"
mv "$app_dir/Glimor.exe" "$WINEPREFIX/drive_c/$folder/Glimor.exe"
app_dir=$WINEPREFIX/drive_c/$folder
start_server

start_glimor
wait_for 30 grep -q Installed "$app_dir/Glimor.ini" || fail "Glimor.ini was not written in $folder"
wait_for 30 glimor_started || fail "Glimor.exe did not start from $folder"
ini_value Host | grep -qxF "$host" || fail "Glimor.ini lost its [Service] Host: $(cat "$app_dir/Glimor.ini")"

# The autostart value holds the quoted path in the registry's UTF-16, read back from an export
# (reg query writes in the console's code page, which would turn the name into question marks).
run_path() { # HKLM|HKCU
  wine reg export "$1\\Software\\Microsoft\\Windows\\CurrentVersion\\Run" "C:\\run-$1.reg" /y >/dev/null 2>&1 &&
    iconv -f UTF-16 -t UTF-8 "$WINEPREFIX/drive_c/run-$1.reg" | tr -d '\r' | sed -n 's/^"Glimor"="\(.*\)"$/\1/p'
}
expected_run='\"C:\\'"$folder"'\\Glimor.exe\"' # as a .reg file escapes quotes and backslashes
run_names_program() { [ "$(run_path HKLM)" = "$expected_run" ] || [ "$(run_path HKCU)" = "$expected_run" ]; }
wait_for 10 run_names_program ||
  fail "the Run value is not the program's path: HKLM '$(run_path HKLM)', HKCU '$(run_path HKCU)'"

log "a capture from $folder, the hot key pressed while notepad has the keyboard"
capture press_hot_key_in_notepad
wait_for 30 status_is "Upload complete." || fail "status after the upload: $(status_text)"
for ext in bmp jpg gif; do
  wait_for 20 test -s "$app_dir/Glimor.$ext" || fail "no Glimor.$ext in $folder"
done
[ "$(identify -format '%w %h' "$app_dir/Glimor.bmp")" = "320 240" ] || fail "Glimor.bmp is not the 320 x 240 crop"
link=$(clipboard)
case $link in "http://$host/i/"*".jpg") ;; *) fail "clipboard after the upload: $link" ;; esac
curl -sf "$link" -o "$work/served.jpg" || fail "the link does not serve"
cmp "$work/served.jpg" "$app_dir/Glimor.jpg" || fail "the service holds other bytes than Glimor.jpg"
grep -qF "$link" "$app_dir/Glimor.history" || fail "the upload is not in Glimor.history"
windows_now | grep -qxF "child|0|Edit|C:\\$folder\\Glimor.jpg" ||
  fail "the upload file field does not hold the path in $folder: $(windows_now | grep '^child|0|Edit|')"

log "an uploader file named in $folder's characters, its path in Glimor.ini"
token=$("$root/build/linux/server/glimor-server" token add e2e --data "$work/data" | tail -n 1)
[ -n "$token" ] || fail "no upload token made"
uploader='Загрузчик-Ω-上传.sxcu'
"$root/build/linux/server/glimor-server" token sxcu e2e "$app_dir/$uploader" --public-url "http://$host" \
  --data "$work/data" <<<"$token" >/dev/null 2>&1 || fail "glimor-server wrote no uploader file"
sed -i "/^\[Service\]/a Uploader=C:\\\\$folder\\\\$uploader\r" "$app_dir/Glimor.ini"
wait_for 15 status_is "Glimor is now ready." || fail "the flood lock did not end: $(status_text)"
capture
wait_for 30 status_is "Upload complete." || fail "status after the upload by $uploader: $(status_text)"
link=$(clipboard)
case $link in "http://$host/i/"*".jpg") ;; *) fail "clipboard after the upload by $uploader: $link" ;; esac
curl -sf "$link" -o "$work/by-file.jpg" || fail "the link read from the uploader file's answer does not serve"
tail -n 1 "$app_dir/Glimor.history" | tr -d '\r' | grep -q $'\tGET$' ||
  fail "the history does not mark the uploader file's deletion link: $(tail -n 1 "$app_dir/Glimor.history")"
shot unicode-folder
log "PASS"
