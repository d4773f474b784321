#!/usr/bin/env bash
# End-to-end: the keyboard paths of the main window's commands, in the real almanex under Xvfb with a real
# window manager and no tray host.
#
# usage: keyboard-e2e.sh PATH/TO/almanex
#
# Starting on an empty Config folder, the window shows (there is no tray) and the first-run prompt opens
# the event dialog at once. Checked, with the keyboard only: a title typed into that dialog and Enter
# write the event; Ctrl+N opens the dialog for the next event and Escape leaves the file alone; Enter in
# the grid opens the selected event and Enter saves the title typed there; Del asks "Confirm", whose
# Alt+N keeps the event and Alt+Y erases its section.
# Every process started here is ended by its PID. Waits are polls bounded by a deadline.
set -euo pipefail

source "$(dirname "$0")/session.sh" "$1"
config="$work/tree/Config/Config.INI"

x() { DISPLAY="$display" xdotool "$@"; }
# The id of the visible window titled exactly $1; fails when there is none.
window_named() { x search --onlyvisible --name "^$1\$" 2> /dev/null | head -n 1 | grep .; }
window_gone() { ! window_named "$1" > /dev/null; }
# Waits for the window titled $1, gives it the focus and prints its id.
focus_window() {
  wait_for 30 window_named "$1" > /dev/null || fail "no window \"$1\""
  local id
  id=$(window_named "$1")
  x windowactivate --sync "$id" > /dev/null 2>&1 || x windowfocus --sync "$id"
  echo "$id"
}
has_line() { grep -q "^$1"$'\r$' "$config" 2> /dev/null; }

run_almanex > "$work/almanex.log" 2>&1 &
almanex_pid=$!
pids+=("$almanex_pid")

# No tray: the window shows, and on the empty list the first-run prompt opens the event dialog.
wait_for 30 window_named Almanex > /dev/null || fail "the window did not show without a tray"
focus_window Event > /dev/null
prompt='"summary": "Almanex", "body": "Start to create a new event, click OK to finish your edition."'
wait_for 30 grep -qF "$prompt" "$work/notifications.log" || fail "no first-run notice"
x type --delay 30 'Picnic'
x key Return
wait_for 30 has_line 'Title=Picnic' || fail "Enter in the dialog did not save the typed title"
has_line '\[Event1\]' || fail "the new event is not Event1"
wait_for 30 window_gone Event || fail "the dialog stayed open after OK"

# Ctrl+N opens the dialog for the next event; Escape writes nothing. (The file itself may change meanwhile:
# the new event's reminder is due at once, and its mark is written.)
focus_window Almanex > /dev/null
x key ctrl+n
focus_window Event > /dev/null
x key Escape
wait_for 30 window_gone Event || fail "Escape did not close the new-event dialog"
! has_line '\[Event2\]' || fail "a cancelled new event was written"
has_line 'Title=Picnic' || fail "a cancelled new event changed the first one"

# Enter in the grid opens the selected (the only) event; Enter there saves it.
focus_window Almanex > /dev/null
x key Return
focus_window Event > /dev/null
x key ctrl+a
x type --delay 30 'Picnic at noon'
x key Return
wait_for 30 has_line 'Title=Picnic at noon' || fail "Enter in the grid did not open the event for editing"
wait_for 30 window_gone Event || fail "the dialog stayed open after OK"
! has_line '\[Event2\]' || fail "editing created a new event"

# Del asks; Alt+N keeps the event.
focus_window Almanex > /dev/null
x key Delete
focus_window Confirm > /dev/null
x key alt+n
wait_for 30 window_gone Confirm || fail "Alt+N did not answer the Confirm box"
has_line '\[Event1\]' || fail "the event was erased although the answer was No"

# Del again; Alt+Y erases the section.
focus_window Almanex > /dev/null
x key Delete
focus_window Confirm > /dev/null
x key alt+y
wait_for 30 bash -c "! grep -q '^\\[Event1\\]' '$config'" || fail "Alt+Y in the Confirm box did not erase the event"
wait_for 30 window_gone Confirm || fail "the Confirm box stayed open"

kill -TERM "$almanex_pid"
wait_for 30 bash -c "! kill -0 $almanex_pid 2>/dev/null" || fail "almanex did not end on SIGTERM"
echo "e2e keyboard: 1 passed, 0 failed"
