#!/usr/bin/env bash
# almanex-cli list, next and due over generated files of 1,000, 10,000 and 100,000 events: the median
# wall and CPU time of 11 runs each and the peak resident size of one run, measured from wait4 by
# almanex-run-measured, under LC_ALL=C.UTF-8, with the regional formats cached in a private folder.
# usage: bench/cli-walltime.sh [BUILD_FOLDER]
set -euo pipefail
export LC_ALL=C.UTF-8 LANG=C.UTF-8
build=$(cd "${1:-build}" && pwd)
measurer="$build/bench/almanex-run-measured"
if [[ ! -x $measurer || ! -x $build/bench/almanex-gen-events || ! -x $build/tools/almanex-cli ]]; then
  cmake --build "$build" --target almanex-run-measured almanex-gen-events almanex-cli
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache"
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
ms() { awk -v v="$1" 'BEGIN{printf "%.1f", v/1000}'; }
printf '%-8s %-10s %-6s %10s %10s %10s\n' events "file MB" command "wall ms" "CPU ms" "peak KB"
for count in 1000 10000 100000; do
  ini="$work/events-$count.ini"
  "$build/bench/almanex-gen-events" "$count" "$ini" > /dev/null
  for command in list next due; do
    run=("$build/tools/almanex-cli" "$command" --config "$ini" --now "2026-12-25 12:00:00" --locale en_US)
    [[ $command == due ]] && run+=(--day 2026-12-25)
    "$measurer" "${run[@]}" > /dev/null # warm the page cache and the formats cache
    walls=() cpus=() peak=0
    for _ in $(seq 11); do
      read -r wall cpu kb < <("$measurer" "${run[@]}")
      walls+=("$wall") cpus+=("$cpu")
      peak=$((kb > peak ? kb : peak))
    done
    printf '%-8s %-10s %-6s %10s %10s %10s\n' "$count" "$(awk -v b="$(stat -c %s "$ini")" 'BEGIN{printf "%.1f", b/1048576}')" \
      "$command" "$(ms "$(median "${walls[@]}")")" "$(ms "$(median "${cpus[@]}")")" "$peak"
  done
done
