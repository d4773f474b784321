#!/usr/bin/env bash
# Wall time of `almanex-cli list` over generated files of 1,000 and 10,000 events (median of 11 runs).
# usage: bench/cli-walltime.sh [BUILD_FOLDER]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for count in 1000 10000; do
  "$build/bench/almanex-gen-events" "$count" "$work/events-$count.ini"
  times=()
  for _ in $(seq 11); do
    start=$(date +%s%N)
    "$build/tools/almanex-cli" list --config "$work/events-$count.ini" --now "2026-12-25 12:00:00" --locale en_US > /dev/null
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
  done
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 6p)
  printf 'almanex-cli list, %5d events: %6.1f ms (median of 11)\n' "$count" "$(awk -v v="$median" 'BEGIN{print v/1000}')"
done
