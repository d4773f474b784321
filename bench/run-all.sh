#!/usr/bin/env bash
# Every benchmark of bench/README.md in one go: the Google Benchmark binaries (medians of 3
# repetitions), then the whole-program scripts. Each prints its own figures; the README says what they
# mean and which figure each one gave on the project's machine.
# usage: bench/run-all.sh [BUILD_FOLDER]
# Takes about 10 minutes on a 2-core machine; the Remind comparison installs `remind` when missing.
set -euo pipefail
export LC_ALL=C.UTF-8 LANG=C.UTF-8 TZ=UTC
cd "$(dirname "$0")/.."
build=${1:-build}
binaries=(bench_store bench_registry bench_recurrence bench_scheduler bench_app bench_calendar)
cmake --build "$build" --target "${binaries[@]}" almanex almanex-cli almanex-gen-events almanex-gen-remind-events \
  almanex-run-measured almanex-bare-table

for binary in "${binaries[@]}"; do
  echo "==== $binary"
  "$build/bench/$binary" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
done
for script in cli-walltime.sh compare-remind.sh app-rss.sh app-idle.sh app-exit.sh; do
  echo "==== bench/$script"
  "bench/$script" "$build"
done
