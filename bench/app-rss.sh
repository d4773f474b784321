#!/usr/bin/env bash
# Resident size of the running program with 10,000 events: starts the staged almanex offscreen in a
# temporary tree, lets it load and tick for three seconds, reads VmRSS, and ends it with SIGTERM.
# usage: bench/app-rss.sh [BUILD_FOLDER]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
pid=""
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/bin" "$work/Config" "$work/runtime" "$work/config"
chmod 700 "$work/runtime"
cp "$build/app/almanex" "$work/bin/"
"$build/bench/almanex-gen-events" 10000 "$work/Config/Config.INI"
XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" XDG_CONFIG_DIRS="$work/config" \
  QT_QPA_PLATFORM=offscreen "$work/bin/almanex" &
pid=$!
sleep 3
rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
printf 'almanex with 10,000 events: %.1f MB resident\n' "$(awk -v v="$rss" 'BEGIN{print v/1024}')"
