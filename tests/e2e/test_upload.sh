#!/usr/bin/env bash
# The upload road for BMP and GIF against glimor-server (the service holds exactly the file beside
# the program; the BMP's hot key pressed while notepad has the keyboard); the tray menu's Recent
# links and Delete last upload, their balloons, the question naming the upload with No
# preselected, the dead link cleared; the JPEG road over https, trusted through [Service]
# CACertificate and refused without it; a service that answers 500: the message
# box, then "Image could not be uploaded."; one that stays silent: the tray's Cancel upload; one that
# wants a token: the 401's box says what to do, a token pasted with spaces on the Options page, the
# tray's Retry upload gives the link without showing a balloon to the open window, and the hot key
# within the anti-flood lock that follows is answered by a balloon; an upload by the service's own
# uploader file, the link read from its JSON answer.
source "$(dirname "$0")/lib.sh"

start_x
fresh_prefix
start_server

# restart_with TYPE: Glimor.exe anew, with the file type chosen on the Options page.
restart_with() {
  wineserver -k >/dev/null 2>&1 || true
  if grep -q '^ImgType=' "$app_dir/Glimor.ini"; then
    sed -i "s/^ImgType=.*/ImgType=$1\r/" "$app_dir/Glimor.ini"
  else
    sed -i "/^\[Options\]/a ImgType=$1\r" "$app_dir/Glimor.ini"
  fi
  start_glimor
  wait_for 30 glimor_started || fail "Glimor.exe did not start with ImgType=$1"
}

start_glimor
wait_for 30 grep -q Installed "$app_dir/Glimor.ini" || fail "Glimor.ini was not written"
# A capture uploads Glimor.<ext>; its link lands on the clipboard and serves exactly that file.
capture_serves() { # TYPE [PRESS] (see capture)
  local ext
  ext=$(echo "$1" | tr A-Z a-z)
  capture "${2:-}"
  wait_for 30 status_is "Upload complete." || fail "$1 upload: $(status_text)"
  link=$(clipboard)
  case $link in "http://$host/i/"*".$ext") ;; *) fail "clipboard after the $1 upload: $link" ;; esac
  curl -sf "$link" -o "$work/served.$ext" || fail "the $1 link does not serve"
  cmp "$work/served.$ext" "$app_dir/Glimor.$ext" || fail "the service holds other bytes than Glimor.$ext"
}
for type in BMP GIF; do
  log "the $type road"
  restart_with "$type"
  # The first as a user presses the hot key: in another program (which the next restart ends).
  if [ "$type" = BMP ]; then capture_serves BMP press_hot_key_in_notepad; else capture_serves "$type"; fi
done

# PNG: chosen with its radio button on the Options page of the running program, as a user would.
log "the PNG road, chosen on the Options page"
wait_for 15 status_is "Glimor is now ready." || fail "the flood lock did not end: $(status_text)"
main_visible || click_tray_icon
wait_for 10 main_visible || fail "the main window is not shown"
click_control tab Options
click_control Button 'PNG Image (.png)'
wait_for 10 bash -c "tr -d '\r' <'$app_dir/Glimor.ini' | grep -qx ImgType=PNG" ||
  fail "ImgType=$(ini_value ImgType) after the PNG radio button"
shot options-png
capture_serves PNG
[ "$(identify -format '%wx%h' "$work/served.png")" = 320x240 ] || fail "the PNG is not the 320 x 240 crop"

log "the tray menu: Recent links copies the last link again, Delete last upload takes it back"
# The end of the flood lock writes its own status, so the deletion's status is read after it.
wait_for 15 status_is "Glimor is now ready." || fail "the flood lock did not end: $(status_text)"
grep -qF "$link" "$app_dir/Glimor.history" || fail "the upload is not in Glimor.history"
printf 'something else' | xclip -i -selection clipboard
# The menu: "Show", "Hide", "Recent links", "Delete last upload", a separator, "Exit"; the submenu
# opens to the left of it, the newest link first.
open_tray_menu
click_menu_row 2
submenu_open() { [ "$(windows_now | grep -c '^top|1|#32768|')" -ge 2 ]; }
wait_for 10 submenu_open || fail "Recent links opened no submenu"
shot tray-recent-links
click_menu_row 0
wait_for 10 clipboard_is "$link" || fail "Recent links copied: $(clipboard)"
# Wine's tray draws a balloon as a tooltip window of its own, without a window text.
balloon_shown() { windows_now | grep -q '^top|1|tooltips_class32|'; }
wait_for 10 balloon_shown || fail "no balloon after Recent links"
shot tray-balloon-copied
main_visible && click_tray_icon # the tray's outcomes must reach a user whose window is hidden
has_window "^child|.|Edit|$link\$" || fail "the link field does not hold the last link"
open_tray_menu
click_menu_row 3
wait_for 10 message_begins "Delete the last uploaded image from the service?  $link Uploaded $(date +%Y-)" ||
  fail "no deletion question naming the link: $(windows_now | grep -A3 '#32770')"
shot delete-question
focus_is 'Button|&No' || fail "the deletion question preselects $(focus_now), not No"
wait_for 10 foreground_is '#32770|' || fail "the deletion question is not in front: $(windows_now | grep '^foreground')"
focus_x_window '^Glimor!$'
xdotool key Return # Enter keeps the upload
wait_for 10 not message_begins "Delete the last" ||
  fail "Enter did not answer the question: $(windows_now | grep -E '^(foreground|held)')"
grep -qF "$link" "$app_dir/Glimor.history" || fail "Enter deleted the upload"
open_tray_menu
click_menu_row 3
wait_for 10 message_begins "Delete the last uploaded image from the service?" || fail "no deletion question"
click_control Button '&Yes'
wait_for 30 status_is "Image deleted." || fail "status after the deletion: $(status_text)"
wait_for 10 balloon_shown || fail "no balloon after the deletion"
shot tray-balloon-deleted
[ "$(curl -s -o /dev/null -w '%{http_code}' "$link")" = 410 ] || fail "the deleted image's link does not answer 410"
grep -qF "$link" "$app_dir/Glimor.history" && fail "the deleted upload is still in Glimor.history"
has_window "|Edit|$link\$" && fail "the dead link stays in the link field"
clipboard_is "$link" && fail "the dead link stays on the clipboard"

log "the JPEG road over https, the test CA named in Glimor.ini"
wineserver -k >/dev/null 2>&1 || true
kill "$server_pid"; wait "$server_pid" 2>/dev/null || true
make_test_ca
cp "$work/ca/ca.pem" "$app_dir/ca.pem"
start_server --tls-cert "$work/ca/server.pem" --tls-key "$work/ca/server.key"
printf 'CACertificate=ca.pem\r\n' >>"$app_dir/Glimor.ini"
restart_with JPEG
capture
# The first https exchange of a new process loads the TLS library, slow on a busy machine.
wait_for 60 status_is "Upload complete." || fail "https upload: $(status_text)"
link=$(clipboard)
case $link in "https://$host/i/"*".jpg") ;; *) fail "clipboard after the https upload: $link" ;; esac
curl -sf --cacert "$work/ca/ca.pem" "$link" -o "$work/served.jpg" || fail "the https link does not serve"
cmp "$work/served.jpg" "$app_dir/Glimor.jpg" || fail "the service holds other bytes than Glimor.jpg"

log "the same service without the CA: refused"
sed -i '/^CACertificate=/d' "$app_dir/Glimor.ini"
restart_with JPEG
capture
wait_for 30 message_begins "Error encountered during POST: The certificate of localhost is not trusted" ||
  { shot https-untrusted-fail; fail "no refusal of the untrusted certificate: $(windows_now | grep -v "^child.*Button")"; }
shot https-untrusted
click_control Button OK
wait_for 10 status_is "Image could not be uploaded." || fail "status after the refused certificate: $(status_text)"

log "a service that answers 500, named in Glimor.ini while the program runs, then stays silent"
python3 - "$work/port500" <<'PY' &
import http.server, sys, time
class Refuse(http.server.BaseHTTPRequestHandler):
    posts = 0
    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", 0)))
        Refuse.posts += 1
        if Refuse.posts > 1:
            time.sleep(120) # holds the upload far longer than its cancel may take
            return
        self.send_response(500)
        self.send_header("Content-Length", "0")
        self.end_headers()
    def log_message(self, *args): pass
server = http.server.HTTPServer(("127.0.0.1", 0), Refuse)
open(sys.argv[1], "w").write(str(server.server_port))
server.serve_forever()
PY
refuser_pid=$!
trap 'kill "$refuser_pid" 2>/dev/null || true; cleanup' EXIT
wait_for 10 test -s "$work/port500" || fail "no refusing server"
# No restart: a changed host counts from the next upload.
sed -i "s/^Host=.*/Host=127.0.0.1:$(cat "$work/port500")\r/" "$app_dir/Glimor.ini"
wait_for 10 status_is "Glimor is now ready." || fail "the flood lock did not end: $(status_text)"
capture
wait_for 30 message_begins "Error encountered during POST: HTTP/1.0 500 Internal Server Error" ||
  fail "no POST error box"
status_is "Uploading image..." || fail "the worker did not wait for the box: $(status_text)"
shot post-error
click_control Button OK
wait_for 10 status_is "Image could not be uploaded." || fail "status after a refused upload: $(status_text)"

log "a silent service: the tray menu's Cancel upload ends the upload"
wait_for 15 status_is "Glimor is now ready." || fail "the flood lock did not end: $(status_text)"
printf 'kept' | xclip -i -selection clipboard
capture
wait_for 10 status_is "Uploading image..." || fail "no upload under way: $(status_text)"
# The menu: "Show", "Hide", "Recent links", "Delete last upload", "Cancel upload", a separator, "Exit".
open_tray_menu
shot tray-cancel-upload
click_menu_row 4
wait_for 5 status_is "Upload cancelled." || fail "status after Cancel upload: $(status_text)"
clipboard_is kept || fail "a cancelled upload changed the clipboard: $(clipboard)"
wait_for 10 glimor_started || fail "Glimor.exe ended"
capture # the gate is open again: the next upload starts at once
wait_for 10 status_is "Uploading image..." || fail "no second upload after the cancel: $(status_text)"
main_visible || click_tray_icon # the upload leaves the window hidden
click_control Button 'Cancel upload' # the same from the links page, under the busy animation
wait_for 5 status_is "Upload cancelled." || fail "status after the links page's Cancel upload: $(status_text)"

log "a service that takes uploads with a token only: 401, the token set, Retry upload"
kill "$server_pid"; wait "$server_pid" 2>/dev/null || true
token=$("$root/build/linux/server/glimor-server" token add e2e --data "$work/data" | tail -n 1)
[ -n "$token" ] || fail "no upload token made"
serve --uploads token
sed -i "s/^Host=.*/Host=$host\r/" "$app_dir/Glimor.ini"
capture
wait_for 30 message_begins "Error encountered during POST: Upload token required. Set the upload token on the Options page." ||
  fail "no 401 box: $(windows_now | grep -A3 '#32770')"
windows_now | grep -qF 'Once the token is saved, "Retry upload" in the tray menu sends the capture again.' ||
  fail "the 401 box does not say what to do: $(windows_now | grep -A3 '#32770')"
shot token-refused
click_control Button OK
wait_for 10 status_is "Image could not be uploaded." || fail "status after the 401: $(status_text)"
main_visible || click_tray_icon
wait_for 10 main_visible || fail "the main window is not shown"
click_control tab Options
click_control Edit '' # the upload token, the page's one empty text field
xdotool type "  $token "
xdotool key Tab # the field is saved as the focus leaves it
wait_for 10 bash -c "[ \"\$(tr -d '\r' <'$app_dir/Glimor.ini' | sed -n 's/^Token=//p')\" = '$token' ]" ||
  fail "Token=$(ini_value Token) after pasting it with spaces around"
wait_for 15 status_is "Glimor is now ready." || fail "the flood lock did not end: $(status_text)"
# The Tab that saved the token took the focus to the record hot key's control, which would take
# the keys for itself: the links page's tab has it instead.
click_control tab 'Glimoed Links'
printf 'before the retry' | xclip -i -selection clipboard
# The menu: "Show", "Hide", "Recent links", "Delete last upload", "Retry upload", ...
open_tray_menu
shot tray-retry-upload
click_menu_row 4
wait_for 30 status_is "Upload complete." || fail "status after Retry upload: $(status_text)"
# The window is open: the links page shows the link, no balloon repeats it. Within the 5 s of the
# anti-flood lock the hot key is refused, and a balloon says so where the user is: pressed at
# once, so that a slow machine still presses it within the lock.
balloon_shown && fail "a balloon though the main window was open"
focus_desktop
xdotool key alt+F2
wait_for 4 balloon_shown || fail "no balloon for the hot key within the anti-flood lock: $(status_text)"
# The lock may have ended since on a slow machine, and the status line with it; the selection
# window must not have opened either way.
status_is "AntiFlood protection: Please wait 5 seconds." || status_is "Glimor is now ready." ||
  fail "status after the refused hot key: $(status_text)"
selection_visible && fail "the hot key opened the selection window within the lock"
shot flood-lock-balloon
link=$(clipboard)
case $link in "http://$host/i/"*".jpg") ;; *) fail "clipboard after Retry upload: $link" ;; esac
curl -sf "$link" -o "$work/retried.jpg" || fail "the retried upload's link does not serve"
cmp "$work/retried.jpg" "$app_dir/Glimor.jpg" || fail "the service holds other bytes than Glimor.jpg"

log "Retry upload on the links page"
click_control tab 'Glimoed Links'
wait_for 15 status_is "Glimor is now ready." || fail "the flood lock did not end: $(status_text)"
click_control Button 'Retry upload'
wait_for 30 status_is "Upload complete." || fail "status after the links page's Retry upload: $(status_text)"
shot links-page-retry
again=$(clipboard)
[ "$again" != "$link" ] && case $again in "http://$host/i/"*".jpg") ;; *) false ;; esac ||
  fail "clipboard after the links page's Retry upload: $again"
has_window "^child|1|Edit|$again\$" || fail "the links page does not show $again"

log "an uploader file: the service's own, its token in the file's header instead of [Service] Token"
"$root/build/linux/server/glimor-server" token sxcu e2e "$app_dir/service.sxcu" --public-url "http://$host" \
  --data "$work/data" <<<"$token" >/dev/null 2>&1 || fail "glimor-server wrote no uploader file"
sed -i "/^Token=/d; /^\[Service\]/a Uploader=service.sxcu\r" "$app_dir/Glimor.ini"
wait_for 15 status_is "Glimor is now ready." || fail "the flood lock did not end: $(status_text)"
capture
wait_for 30 status_is "Upload complete." || fail "status after the upload by the uploader file: $(status_text)"
link=$(clipboard)
case $link in "http://$host/i/"*".jpg") ;; *) fail "clipboard after the upload by the uploader file: $link" ;; esac
curl -sf "$link" -o "$work/by-file.jpg" || fail "the link read from the JSON answer does not serve"
cmp "$work/by-file.jpg" "$app_dir/Glimor.jpg" || fail "the service holds other bytes than Glimor.jpg"
tail -n 1 "$app_dir/Glimor.history" | tr -d '\r' | grep -q $'\tGET$' ||
  fail "the history does not mark the uploader file's deletion link: $(tail -n 1 "$app_dir/Glimor.history")"
# "Delete last upload" by the file's DeletionURL: the service's link deletes on a POST.
wait_for 15 status_is "Glimor is now ready." || fail "the flood lock did not end: $(status_text)"
open_tray_menu
click_menu_row 3
wait_for 10 message_begins "Delete the last uploaded image from the service?" || fail "no deletion question"
click_control Button '&Yes'
wait_for 30 status_is "Image deleted." || fail "status after the deletion by the uploader file: $(status_text)"
[ "$(curl -s -o /dev/null -w '%{http_code}' "$link")" = 410 ] || fail "the image deleted by the uploader file's link is still served"
log "passed"
