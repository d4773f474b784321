#!/usr/bin/env bash
# The idle main window against its floor, in the same run: the staged almanex and almanex-bare-table
# (bench/BareTableFloor.cpp: a bare QTableView on a plain model with the same rows and the same
# one-second timer) start side by side offscreen on the same generated file. After SETTLE seconds (the
# start-up, the first tick's reset and search; default 8, and 25 for 100,000 events) both are sampled
# over WINDOW seconds (default 20): CPU time of all their threads (schedstat, nanoseconds) divided by
# the ticks in the window, and the resident size (VmRSS) and its peak (VmHWM). No reminder falls due
# while it runs. Sizes default to 1,000, 10,000 and 100,000 events.
# usage: bench/app-idle.sh [BUILD_FOLDER] [EVENTS...]
set -euo pipefail
# shellcheck source=bench/app-common.sh
source "$(dirname "$0")/app-common.sh"
window=${WINDOW:-20}
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# CPU nanoseconds of every thread of a process.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{sum += $1} END {printf "%d", sum}'; }
status_mb() { awk -v key="$2:" '$1 == key {printf "%.1f", $2 / 1024}' "/proc/$1/status"; }

printf '%-8s | %-22s | %-22s | %-12s | %-12s | %-12s\n' events "CPU per tick: almanex" "floor" ratio "RSS MB" "HWM MB"
for count in "${sizes[@]}"; do
  dir="$work/$count"
  # 100,000 events take several seconds to load and to reset and search at the first tick.
  settle=${SETTLE:-$((count >= 100000 ? 25 : 8))}
  mkdir -p "$dir/bin" "$dir/Config" "$dir/runtime" "$dir/config"
  chmod 700 "$dir/runtime"
  cp "$build/app/almanex" "$dir/bin/"
  "$build/bench/almanex-gen-events" "$count" "$dir/Config/Config.INI"
  # Every reminder at the end of the day: idle means no reminder falls due in the window (a tick that
  # shows one is measured by bench_app's BM_ReminderTick).
  sed -i 's/^RemindTime=.*\r$/RemindTime=11:59:59 PM\r/' "$dir/Config/Config.INI"
  "${locale[@]}" XDG_RUNTIME_DIR="$dir/runtime" XDG_CONFIG_HOME="$dir/config" XDG_CONFIG_DIRS="$dir/config" \
    QT_QPA_PLATFORM=offscreen "$dir/bin/almanex" > "$dir/almanex.log" 2>&1 &
  app=$!
  "${locale[@]}" QT_QPA_PLATFORM=offscreen "$build/bench/almanex-bare-table" "$dir/Config/Config.INI" > "$dir/floor.log" 2>&1 &
  floor=$!
  pids=("$app" "$floor")
  sleep "$settle"
  app0=$(cpu_ns "$app")
  floor0=$(cpu_ns "$floor")
  sleep "$window"
  app1=$(cpu_ns "$app")
  floor1=$(cpu_ns "$floor")
  app_tick=$(awk -v a="$app0" -v b="$app1" -v w="$window" 'BEGIN {printf "%.3f", (b - a) / w / 1e6}')
  floor_tick=$(awk -v a="$floor0" -v b="$floor1" -v w="$window" 'BEGIN {printf "%.3f", (b - a) / w / 1e6}')
  ratio=$(awk -v a="$app_tick" -v f="$floor_tick" 'BEGIN {printf "%.2f", a / f}')
  printf '%-8s | %-22s | %-22s | %-12s | %-12s | %-12s\n' "$count" "$app_tick ms" "$floor_tick ms" "$ratio" \
    "$(status_mb "$app" VmRSS) / $(status_mb "$floor" VmRSS)" "$(status_mb "$app" VmHWM) / $(status_mb "$floor" VmHWM)"
  kill "$app" "$floor"
  wait "$app" "$floor" 2>/dev/null || true
  pids=()
done
echo "(RSS and HWM: almanex / floor; CPU per tick: all threads over ${window} s once settled)"
