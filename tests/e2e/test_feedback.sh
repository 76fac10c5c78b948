#!/usr/bin/env bash
# The feedback form on the About page: typed into, sent to glimor-server, which stores the text with
# its "&" and line break intact; the form then locks and the links page shows.
source "$(dirname "$0")/lib.sh"

start_x
fresh_prefix
start_server
start_glimor
wait_for 30 main_visible || fail "no main window"
# field N: a click into the form's Nth text field (made in tab order: e-mail, name, text), empty
# until typed into, then waits for it to have the focus.
field() {
  click_control Edit '' "$1"
  wait_for 5 focus_is 'Edit|$' || fail "text field $1 did not take the focus: $(focus_now)"
}

log "About, Send Feedback, the three fields, Submit"
click_control tab About
click_control Button 'Send Feedback'
wait_for 5 has_window '^child|1|Button|Submit$' || fail "the feedback form did not open"
field 2 # Name
xdotool type 'Ann'
field 1 # E-Mail, the first field left empty
xdotool type 'none'
field 1 # the text, the only field still empty
xdotool type 'Hi&bye'
xdotool key Return
xdotool type '2nd'
shot feedback-form
click_control Button Submit
wait_for 20 status_is "Feedback sent. Glimor is now ready." || fail "status after sending: $(status_text)"
has_window '^child|0|Button|Already sent !$' || fail "the form is not locked"
stored=$(python3 -c 'import sqlite3, sys
row = sqlite3.connect(sys.argv[1]).execute("select name, email, category, text from feedback").fetchone()
print(repr(tuple(bytes(v).decode() if isinstance(v, bytes) else v for v in row)))' "$work/data/glimor.db")
[ "$stored" = "('Ann', 'none', '1', 'Hi&bye\r\n2nd')" ] || fail "stored: $stored"
log "passed"
