#!/usr/bin/env bash
# The feedback form on the About page: typed into, sent to glimor-server, which stores the text with
# its "&" and line break intact; the form then locks and the links page shows.
source "$(dirname "$0")/lib.sh"

start_x
fresh_prefix
start_server
start_glimor
wait_for 30 main_visible || fail "no main window"
sleep 1
# The main window is centred; its pages start at (319, 334) on the screen.
at() { xdotool mousemove --window "$desk" $((319 + $1)) $((334 + $2)) click 1; sleep 0.3; }

log "About, Send Feedback, the three fields, Submit"
xdotool mousemove --window "$desk" 489 316 click 1
sleep 0.5
at 328 8 # Send Feedback
wait_for 5 has_window '^child|1|Button|Submit$' || fail "the feedback form did not open"
at 120 22
xdotool type 'Ann'
at 120 46
xdotool type 'none'
at 284 55
xdotool type 'Hi&bye'
xdotool key Return
xdotool type '2nd'
shot feedback-form
at 324 111 # Submit
wait_for 20 status_is "Feedback sent. Glimor is now ready." || fail "status after sending: $(status_text)"
has_window '^child|0|Button|Already sent !$' || fail "the form is not locked"
stored=$(python3 -c 'import sqlite3, sys
row = sqlite3.connect(sys.argv[1]).execute("select name, email, category, text from feedback").fetchone()
print(repr(tuple(bytes(v).decode() if isinstance(v, bytes) else v for v in row)))' "$work/data/glimor.db")
[ "$stored" = "('Ann', 'none', '1', 'Hi&bye\r\n2nd')" ] || fail "stored: $stored"
log "passed"
