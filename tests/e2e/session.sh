# The desktop session every end-to-end script runs the real almanex in, sourced after `set -euo pipefail`:
# a temporary work folder, Xvfb with a real window manager (openbox) and no tray host, a D-Bus session bus
# of our own that starts no installed services, and a stand-in notification service logging to
# $work/notifications.log. Gives: $work, $display, $bus, pids (every process started is ended by its PID
# on exit), fail, wait_for and run_almanex.
#
# usage: source session.sh PATH/TO/almanex; the tree $work/tree/bin/almanex with $work/tree/Config
# one level above it, as installed, is left for the caller to fill.

almanex=$(readlink -f "$1")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d /tmp/almanex-e2e-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  echo "--- notifications:" >&2; cat "$work/notifications.log" >&2 2>/dev/null || true
  echo "--- Config.INI:" >&2; cat "$work/tree/Config/Config.INI" >&2 2>/dev/null || true
  echo "--- almanex output:" >&2; cat "$work/almanex.log" >&2 2>/dev/null || true
  exit 1
}

# Polls a command until it succeeds, for at most $1 seconds.
wait_for() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

for tool in Xvfb dbus-daemon /usr/bin/python3 openbox xdotool; do
  command -v "$tool" > /dev/null || fail "$tool is not installed (make test installs it)"
done

mkdir -p "$work/tree/bin" "$work/tree/Config" "$work/runtime" "$work/config" "$work/xdg"
chmod 700 "$work/runtime"
cp "$almanex" "$work/tree/bin/almanex"

# A display.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3> "$work/display" 2> "$work/xvfb.log" &
pids+=($!)
wait_for 20 test -s "$work/display" || fail "Xvfb did not start"
display=":$(head -n 1 "$work/display")"

# A real window manager: the frame it adds is what made the window grow from run to run.
DISPLAY="$display" openbox --sm-disable > "$work/openbox.log" 2>&1 &
pids+=($!)
wait_for 20 bash -c "DISPLAY='$display' xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window" ||
  wait_for 20 bash -c "DISPLAY='$display' xdotool search --name . > /dev/null 2>&1; grep -qv . '$work/openbox.log' || true"

# A session bus of our own that starts no installed services.
cat > "$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$work</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=3 3> "$work/bus-address" &
pids+=($!)
wait_for 20 test -s "$work/bus-address" || fail "dbus-daemon did not start"
bus=$(head -n 1 "$work/bus-address")

# The notification service.
DBUS_SESSION_BUS_ADDRESS="$bus" /usr/bin/python3 "$here/fake-notification-server.py" "$work/notifications.log" \
  > "$work/server.out" &
pids+=($!)
wait_for 20 grep -q ready "$work/server.out" || fail "the notification service did not start"

run_almanex() {
  exec env -i PATH="$PATH" HOME="$work" DISPLAY="$display" DBUS_SESSION_BUS_ADDRESS="$bus" \
    XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/xdg" \
    QT_QPA_PLATFORM=xcb LANG=en_US.UTF-8 TZ=UTC "$work/tree/bin/almanex" "$@"
}
