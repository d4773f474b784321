#!/usr/bin/env bash
# Runs each fuzz target for a fixed time under ASan and UBSan, a few at a time, and fails when any
# of them finds something: a crash, a sanitizer report, a failed check, a leak or a slow input.
# Usage: [FUZZ_SEED=N] run-fuzzers.sh BUILD_DIR SECONDS JOBS TARGET...
# FUZZ_SEED fixes libFuzzer's random seed (0 or unset: a new one each run), so that a run, with the same
# seeds, can be repeated.
# New inputs go to BUILD_DIR/fuzz-corpus/TARGET (the committed seeds stay as they are), findings to
# BUILD_DIR/fuzz-findings, and each run's output to BUILD_DIR/fuzz-logs/TARGET.log.
set -euo pipefail
build=$1 seconds=$2 jobs=$3
shift 3
source_dir=$(cd "$(dirname "$0")" && pwd)

# The seed folder of each target.
seeds_of() {
  case "$1" in
    fuzz_ini_round_trip) echo "$source_dir/ini/corpus" ;;
    fuzz_date_pattern) echo "$source_dir/datetime/corpus" ;;
    fuzz_registry_round_trip) echo "$source_dir/registry/corpus" ;;
    fuzz_version_block) echo "$source_dir/versionblock/corpus" ;;
    *) echo "no seed folder known for $1" >&2; return 1 ;;
  esac
}

mkdir -p "$build/fuzz-logs" "$build/fuzz-findings"
export TZ=UTC LANG=C.UTF-8 LC_ALL=C.UTF-8
export UBSAN_OPTIONS=print_stacktrace=1

run_one() {
  local target=$1
  local seeds
  seeds=$(seeds_of "$target")
  mkdir -p "$build/fuzz-corpus/$target"
  local status=0
  "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 -seed="${FUZZ_SEED:-0}" \
    -artifact_prefix="$build/fuzz-findings/$target-" "$build/fuzz-corpus/$target" "$seeds" \
    > "$build/fuzz-logs/$target.log" 2>&1 || status=$?
  echo "$status" > "$build/fuzz-logs/$target.status"
}

running=0
for target in "$@"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  rm -f "$build/fuzz-logs/$target.status"
  run_one "$target" &
  running=$((running + 1))
done
wait

failed=0
printf '%-26s %10s %10s  %s\n' target runs exec/s result
for target in "$@"; do
  status=$(cat "$build/fuzz-logs/$target.status" 2>/dev/null || echo "no status")
  log="$build/fuzz-logs/$target.log"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  if [ "$status" = 0 ]; then
    printf '%-26s %10s %10s  %s\n' "$target" "${runs:-?}" "${speed:-?}" ok
  else
    printf '%-26s %10s %10s  %s\n' "$target" "${runs:-?}" "${speed:-?}" "FAILED (exit $status, see $log)"
    failed=1
  fi
done
if [ "$failed" -ne 0 ]; then
  for target in "$@"; do
    if grep -q -E 'ERROR: |check failed|SUMMARY: ' "$build/fuzz-logs/$target.log"; then
      echo "---- $target"
      grep -v -E '^#[0-9]+|^\s+NEW_FUNC|Uses: ' "$build/fuzz-logs/$target.log" | tail -n 60
    fi
  done
  echo "Fuzzing found a problem; the input that shows it is in $build/fuzz-findings." >&2
  exit 1
fi
