#!/usr/bin/env bash
# Resident size of the running program: for each size (default 1,000, 10,000 and 100,000 events)
# starts the staged almanex offscreen in a temporary tree, lets it load and tick for SETTLE seconds
# (default 5, and 20 for 100,000 events: the start-up, the first tick's reset and search, and some
# quiet ticks; no reminder falls due), reads the resident size (VmRSS) and its peak since the start
# (VmHWM), and ends it with SIGTERM.
# usage: bench/app-rss.sh [BUILD_FOLDER] [EVENTS...]
set -euo pipefail
# shellcheck source=bench/app-common.sh
source "$(dirname "$0")/app-common.sh"
work=$(mktemp -d)
pid=""
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/bin" "$work/Config" "$work/runtime" "$work/config"
chmod 700 "$work/runtime"
cp "$build/app/almanex" "$work/bin/"
for count in "${sizes[@]}"; do
  "$build/bench/almanex-gen-events" "$count" "$work/Config/Config.INI"
  # Every reminder at the end of the day, so that the ticks after the first show none (each one shown
  # rewrites the file: bench_app's BM_ReminderTick measures that).
  sed -i 's/^RemindTime=.*\r$/RemindTime=11:59:59 PM\r/' "$work/Config/Config.INI"
  size=$(stat -c %s "$work/Config/Config.INI")
  settle=${SETTLE:-$((count >= 100000 ? 20 : 5))}
  "${locale[@]}" XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/config" \
    QT_QPA_PLATFORM=offscreen "$work/bin/almanex" > "$work/almanex.log" 2>&1 &
  pid=$!
  sleep "$settle"
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
  hwm=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
  printf 'almanex with %6d events (file %5.1f MB): %6.1f MB resident, %6.1f MB peak (%.2f x resident)\n' "$count" \
    "$(awk -v v="$size" 'BEGIN{print v/1048576}')" "$(awk -v v="$rss" 'BEGIN{print v/1024}')" \
    "$(awk -v v="$hwm" 'BEGIN{print v/1024}')" "$(awk -v a="$hwm" -v b="$rss" 'BEGIN{print a/b}')"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""
  rm -f "$work/Config/Config.INI"
done
