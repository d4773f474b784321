#!/usr/bin/env bash
# Time from the end request to the end of the process, under X with a tray host (trayer), a private
# session bus and a notification service (the fake server of the end-to-end suite). The end request is
# SIGTERM, which takes the same path as the Exit command (exit requested, window closed, placement and
# widths saved, icon removed). Runs the program RUNS times (default 5) and prints each time.
# usage: bench/app-exit.sh [BUILD_FOLDER] [RUNS]
set -euo pipefail
export LC_ALL=C.UTF-8 LANG=C.UTF-8 TZ=UTC
build=$(cd "${1:-build}" && pwd)
runs=${2:-5}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
wait_for() { local d=$((SECONDS + $1)); shift; until "$@"; do [ "$SECONDS" -lt "$d" ] || return 1; sleep 0.05; done; }

mkdir -p "$work/bin" "$work/Config" "$work/runtime" "$work/config"
chmod 700 "$work/runtime"
cp "$build/app/almanex" "$work/bin/"
"$build/bench/almanex-gen-events" 100 "$work/Config/Config.INI"

Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3> "$work/display" 2> /dev/null &
pids+=($!)
wait_for 20 test -s "$work/display"
export DISPLAY=":$(head -n 1 "$work/display")"
cat > "$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:dir=$work</listen>
  <policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
  <allow own="*"/></policy></busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=3 3> "$work/bus-address" &
pids+=($!)
wait_for 20 test -s "$work/bus-address"
export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus-address")
/usr/bin/python3 "$here/../tests/e2e/fake-notification-server.py" "$work/notifications.log" > "$work/server.out" &
pids+=($!)
wait_for 20 grep -q ready "$work/server.out"
trayer --edge bottom --align right --widthtype pixel --width 200 --heighttype pixel --height 24 > /dev/null 2>&1 &
pids+=($!)

for run in $(seq 1 "$runs"); do
  XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/config" \
    QT_QPA_PLATFORM=xcb "$work/bin/almanex" > "$work/almanex.log" 2>&1 &
  pid=$!
  # Running and settled: the start-up notice has reached the notification service.
  wait_for 30 grep -q "re-open" "$work/notifications.log" || { echo "no start-up notice"; exit 1; }
  sleep 1
  start=$(date +%s%N)
  kill -TERM "$pid"
  wait "$pid" || true
  end=$(date +%s%N)
  printf 'run %d: end request to end of process %d ms\n' "$run" $(((end - start) / 1000000))
  : > "$work/notifications.log"
done
