#!/usr/bin/env bash
# The Win32 network pieces under Wine against glimor-server: the update check's URL download with
# progress, the clipboard with its read-back, "Open Link" through the browser association to a
# stand-in browser, and the user-interface thread the upload worker waits on.
source "$(dirname "$0")/lib.sh"
net_probe=$GLIMOR_WINDOWS_BUILD/tests/glimor_net_probe.exe

start_x
fresh_prefix
cp "$net_probe" "$WINEPREFIX/drive_c/net_probe.exe"
cp "$net_probe" "$WINEPREFIX/drive_c/browser.exe"
c=$WINEPREFIX/drive_c

mkdir -p "$work/updates"
head -c 300000 /dev/urandom >"$work/updates/Glimor2.exe"
serve --updates "$work/updates"
port=$glimor_server_port
cli=$root/build/linux/src/cli/glimor-cli
key=$("$cli" update-key "$work/update.key") || fail "update-key"
"$cli" sign-update "$work/update.key" "$work/updates/Glimor2.exe" "http://$host/Glimor2.exe" Glimor2.exe 1.02 \
  >"$work/updates/newglimor.txt" || fail "sign-update"

# probe MODE ARGS...: one run inside the Glimor desktop; its report is left in $work/report.
probe() {
  rm -f "$c/report.txt"
  wine explorer /desktop=glimor,1024x768 'C:\net_probe.exe' 'C:\report.txt' "$@" >/dev/null 2>&1 &
  wait_for 60 grep -q '^done\|^error' "$c/report.txt" || fail "no report from $1"
  tr -d '\r' <"$c/report.txt" >"$work/report"
  cat "$work/report"
}
has() { grep -qxF "$1" "$work/report" || fail "report lacks: $1"; }

log "update check downloads the newer executable beside the program"
probe update 'C:\Glimor\Glimor.exe' "$host" "$key"
has "online yes"
has "panel1 Getting info..."
has "show"
has "progress reported"
has 'new C:\Glimor\Glimor2.exe'
cmp "$c/Glimor/Glimor2.exe" "$work/updates/Glimor2.exe" || fail "the downloaded executable differs"
[ ! -e "$c/Glimor/Glimor.upd" ] || fail "the version file was left behind"

log "a version file naming another folder is refused"
printf 'http://%s/Glimor2.exe\r\n..\\evil.exe\r\n1.02\r\n' "$host" >"$work/updates/newglimor.txt"
probe update 'C:\Glimor\Glimor.exe' "$host" "$key"
has "panel1 Incorrect dest file."
[ ! -e "$c/evil.exe" ] || fail "a file was written outside the program folder"

log "the clipboard holds the link, as X sees it"
probe clipboard "http://$host/i/abc.jpg"
has "copied"
has "reads http://$host/i/abc.jpg"
[ "$(clipboard)" = "http://$host/i/abc.jpg" ] || fail "X clipboard: $(clipboard)"

log "Open Link starts the registered browser with the exact command line"
wine reg add 'HKCR\htmlfile\shell\open\command' /ve /d '"C:\browser.exe" -record' /f >/dev/null 2>&1
probe open "$host" " http://$host/i/abc.jpg"
has 'browser "C:\browser.exe" -record'
wait_for 20 test -s "$c/browser-command.txt" || fail "the stand-in browser did not start"
[ "$(tr -d '\r\n' <"$c/browser-command.txt")" = " -record \" http://$host/i/abc.jpg\"" ] ||
  fail "command line: [$(cat "$c/browser-command.txt")]"
rm -f "$c/browser-command.txt"
probe open "$host" "http://localhost:$port/i/abc.jpg"
sleep 2 # nothing to wait for: a browser started by mistake would have written by now
[ ! -e "$c/browser-command.txt" ] || fail "a link off the service was opened"

log "the user-interface thread runs a worker's effects and releases it once closed"
probe ui
has "order 3 in order"
has "all on the window's thread"
has "failure returned"
has "refused after close"
log "PASS"
