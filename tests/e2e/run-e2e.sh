#!/usr/bin/env bash
# End-to-end: the real almanex under Xvfb with its own D-Bus session bus and a notification service.
#
# usage: run-e2e.sh PATH/TO/almanex
#
# The executable is copied into a temporary tree whose Config/Config.INI holds an event due today
# with its reminder time already past, under a real window manager (openbox) and no tray host. Checked:
# the reminder arrives as a notification with the right title and text, and no re-open notice comes; Reminded=1 is written; a second start exits at once;
# SIGTERM ends the program with the window placement and the column widths saved; twelve runs keep
# the stored window size; a second start brings back a minimised window; with a read-only file SIGTERM
# still ends the program within 2 s, the failure on stderr.
# Every process started here is ended by its PID. Waits are polls bounded by a deadline.
set -euo pipefail

source "$(dirname "$0")/session.sh" "$1"

# The tree's configuration file.
config="$work/tree/Config/Config.INI"
printf '%s\r\n' '[Event1]' 'Title=Tom & <Jerry>' 'Date=6/14/2003' 'Time=4:00:00 PM' 'DateChecked=1' \
  'TimeChecked=1' 'TypeDesc=Cats & <Dogs>' 'RemindTime=12:00:00 AM' 'Reminded=0' 'RPStartDate=1/1/2020' \
  'RPEndType=0' 'RPRecurrenceType=0' 'RPInterval=1' 'RemindOfYears=1' 'RemindOfDays=1' 'RemindOfHours=0' \
  'RemindOfMinutes=0' 'RemindOfSeconds=0' 'RemindOfWeeks=0' 'RemindOfMonths=0' > "$config"

run_almanex > "$work/almanex.log" 2>&1 &
almanex_pid=$!
pids+=("$almanex_pid")

notice='"summary": "Almanex", "body": "Double-click here to re-open Almanex software"'
# The reminder: titled with the event's title (a summary is plain text), its sentence escaped for a
# server that renders body markup.
reminder='"summary": "Tom & <Jerry>", "body": "Since Cats &amp; &lt;Dogs&gt;(Saturday, June 14, 2003 4:00:00 PM), it has passed '
wait_for 30 grep -qF "$reminder" "$work/notifications.log" || fail "no reminder notification"
# No tray host runs here: there is nothing to double-click, so no re-open notice.
! grep -qF "$notice" "$work/notifications.log" || fail "the re-open notice was shown without a tray"
grep -F "$reminder" "$work/notifications.log" | grep -qE 'days, [0-9.]+ years\. "' || fail "the reminder text is not the sentence"
wait_for 30 grep -q $'^Reminded=1\r$' "$config" || fail "Reminded=1 was not written"

# A second start ends at once and leaves the first running.
start=$SECONDS
status=0
timeout 20 bash -c "$(declare -f run_almanex); display='$display' bus='$bus' work='$work' run_almanex" \
  > "$work/second.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the second start exited with status $status"
[ $((SECONDS - start)) -lt 10 ] || fail "the second start did not end at once"
kill -0 "$almanex_pid" 2> /dev/null || fail "the first instance ended"

# SIGTERM: the window placement and the column widths are saved on the way out.
kill -TERM "$almanex_pid"
wait_for 30 bash -c "! kill -0 $almanex_pid 2>/dev/null" || fail "almanex did not end on SIGTERM"
for column in $(seq 0 11); do
  grep -q "^ColWidth$column=[0-9]" "$config" || fail "ColWidth$column was not saved"
done
registry="$work/config/Quorvel/Almanex/registry.reg"
grep -q 'Almanex\\Position\]' "$registry" 2> /dev/null || fail "the window placement was not saved"
for value in Height Left Top Width; do
  grep -q "\"$value\"=dword:" "$registry" || fail "$value was not saved"
done

# Without a tray host the window shows at start; twelve runs, each ended by SIGTERM, keep the stored size.
registry_value() { grep "\"$1\"=dword:" "$registry" | head -n 1 | sed 's/.*dword://'; }
heights=()
for run in $(seq 1 12); do
  run_almanex > "$work/run.log" 2>&1 &
  pid=$!
  pids+=("$pid")
  wait_for 30 bash -c "DISPLAY='$display' xdotool search --onlyvisible --name '^Almanex\$' > /dev/null" ||
    fail "run $run: the window did not show without a tray"
  sleep 0.3  # let the window manager frame the window before it is ended (a bounded settle, not a poll)
  kill -TERM "$pid"
  wait_for 30 bash -c "! kill -0 $pid 2>/dev/null" || fail "run $run did not end on SIGTERM"
  heights+=("$(registry_value Height)")
done
for height in "${heights[@]}"; do
  [ "$height" = "${heights[0]}" ] || fail "the stored height changed over twelve runs: ${heights[*]}"
done

# A second start brings back a minimised window of the first, then exits 0 at once.
run_almanex > "$work/almanex.log" 2>&1 &
almanex_pid=$!
pids+=("$almanex_pid")
wait_for 30 bash -c "DISPLAY='$display' xdotool search --onlyvisible --name '^Almanex\$' > /dev/null" ||
  fail "the window did not show without a tray"
window=$(DISPLAY="$display" xdotool search --onlyvisible --name '^Almanex$' | head -n 1)
DISPLAY="$display" xdotool windowminimize "$window"
wait_for 10 bash -c "! DISPLAY='$display' xdotool search --onlyvisible --name '^Almanex\$' > /dev/null" ||
  fail "the window could not be minimised"
status=0
timeout 20 bash -c "$(declare -f run_almanex); display='$display' bus='$bus' work='$work' run_almanex" \
  > "$work/second.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the second start exited with status $status"
wait_for 10 bash -c "DISPLAY='$display' xdotool search --onlyvisible --name '^Almanex\$' > /dev/null" ||
  fail "the second start did not bring the minimised window back"

# A read-only Config.INI and SIGTERM: no dialog holds the end; the failure goes to stderr. The stored
# column widths are dropped first, so that the save at the end has something to write (a save that
# would leave the file as it is writes nothing).
sed -i '/^ColWidth/d' "$config"
chmod 0444 "$config"
kill -TERM "$almanex_pid"
start_ms=$(date +%s%3N)
wait_for 10 bash -c "! kill -0 $almanex_pid 2>/dev/null" || fail "almanex hung at SIGTERM with a read-only file"
elapsed=$(($(date +%s%3N) - start_ms))
[ "$elapsed" -lt 2000 ] || fail "almanex took $elapsed ms to end with a read-only file"
grep -q "Unable to write to" "$work/almanex.log" || fail "the write failure did not reach stderr"
chmod 0644 "$config"
echo "e2e: 1 passed, 0 failed"
