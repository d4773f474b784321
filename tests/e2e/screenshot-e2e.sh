#!/usr/bin/env bash
# End-to-end: a picture of the main window with a few everyday events, for the software centre's listing
# (the metainfo's screenshot is one such picture, kept in data/screenshots).
#
# usage: screenshot-e2e.sh PATH/TO/almanex OUT.png
#
# Under Xvfb with a real window manager and no tray host, the window shows at start; once every event's
# row is on screen, the window (without its frame) is written to OUT.png. Checked: the picture is a PNG
# of a plausible window size. Every process started here is ended by its PID.
set -euo pipefail

out=$2
source "$(dirname "$0")/session.sh" "$1"
command -v import > /dev/null || fail "import is not installed (make test installs imagemagick)"

# Reminder times at the end of the day keep notifications out of the way of the picture.
printf '%s\r\n' \
  '[Event1]' "Title=Mum's birthday" 'Date=3/14/1958' 'Time=6:45:00 AM' 'TypeDesc=Birthday' \
  'ForeGroundColor=0' 'BackGroundColor=65535' 'RemindTime=11:59:59 PM' 'RPRecurrenceType=3' \
  '[Event2]' 'Title=Wedding anniversary' 'Date=6/14/2003' 'Time=4:00:00 PM' 'TypeDesc=Anniversary' \
  'ForeGroundColor=16777215' 'BackGroundColor=8388608' 'RemindTime=11:59:59 PM' \
  '[Event3]' 'Title=Summer holiday in Lisbon' 'Date=7/18/2027' 'Time=7:30:00 AM' 'TypeDesc=Vacation' \
  'RemindTime=11:59:59 PM' \
  '[Event4]' 'Title=Stopped smoking' 'Date=1/1/2020' 'TimeChecked=0' 'TypeDesc=Important Date' \
  'RemindTime=11:59:59 PM' \
  '[Event5]' 'Title=Car inspection' 'Date=2/28/2027' 'Time=9:15:00 AM' 'TypeDesc=Other' \
  'RemindTime=11:59:59 PM' > "$work/tree/Config/Config.INI"

# A window wide enough for the span columns, placed where the last run left it.
mkdir -p "$work/config/Quorvel/Almanex"
printf '%s\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\Quorvel\Almanex\2.0\Almanex\Almanex\Position]' \
  '"Height"=dword:000001c2' '"Left"=dword:00000028' '"Top"=dword:00000028' '"Width"=dword:000004b0' \
  > "$work/config/Quorvel/Almanex/registry.reg"

run_almanex > "$work/almanex.log" 2>&1 &
pids+=($!)

window_id() { DISPLAY="$display" xdotool search --onlyvisible --name '^Almanex$' 2> /dev/null | head -n 1 | grep .; }
wait_for 30 window_id > /dev/null || fail "the window did not show without a tray"
window=$(window_id)
DISPLAY="$display" xdotool windowactivate --sync "$window" > /dev/null 2>&1 || true
sleep 1 # let the window manager frame the window and the grid paint its rows (a bounded settle, not a poll)

mkdir -p "$(dirname "$out")"
DISPLAY="$display" import -window "$window" "$out.part.png" 2> "$work/import.log" ||
  { cat "$work/import.log" >&2; fail "import could not take the picture"; }
mv "$out.part.png" "$out"

# A PNG, and the size of a window rather than of an icon or the whole screen.
[ "$(head -c 8 "$out" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$out is not a PNG"
read -r width height < <(od -An -tu1 -j16 -N8 "$out" |
  awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }')
[ "$width" -ge 300 ] && [ "$width" -le 1280 ] && [ "$height" -ge 200 ] && [ "$height" -le 800 ] ||
  fail "the picture is ${width}x$height"
echo "e2e: screenshot ${width}x$height in $out"
