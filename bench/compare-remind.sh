#!/usr/bin/env bash
# almanex-cli due against Remind on the same recurring events, at 1,000, 10,000 and 100,000 events.
#
# Generates the events twice with almanex-gen-remind-events (a Config.INI of dialog-shaped sections, and
# the same patterns as a Remind script). At 10,000 events it checks that both programs find the same
# events due on every day from December 2026 to December 2027 and in February 2028 (almanex-cli due
# --days against remind's simple calendar -s) and times a whole year in one run of each. At each size it
# then times one day, `almanex-cli due --day D` against `remind -q -r FILE D`, as whole processes,
# interleaved, median of 21 runs each: wall time and CPU time (user + system), measured from wait4 by
# almanex-run-measured (bench/RunMeasuredMain.cpp), and the peak resident size of one run of each (and
# of almanex-cli next and list). almanex-cli reads its regional formats from a private cache folder filled by a first run;
# one more line times the run that must build them (the cache emptied before each of 5 runs).
# Everything runs under LC_ALL=C.UTF-8. The last line is the worst one-day ratio almanex/remind of wall
# time medians (the aim: at most 0.70).
#
# usage: bench/compare-remind.sh [BUILD_FOLDER] [SIZES...]   (sizes default to 1000 10000 100000)
# Installs the Debian package remind when it is missing (through sudo when not root). Exit status 1 when
# the two programs disagree, 3 when almanex-cli is slower than remind at some size.
set -euo pipefail
export LC_ALL=C.UTF-8 LANG=C.UTF-8
build=$(cd "${1:-build}" && pwd)
shift || true
sizes=("$@")
[[ ${#sizes[@]} -gt 0 ]] || sizes=(1000 10000 100000)
cli="$build/tools/almanex-cli"
generator="$build/bench/almanex-gen-remind-events"
measurer="$build/bench/almanex-run-measured"
if [[ ! -x $cli || ! -x $generator || ! -x $measurer ]]; then
  cmake --build "$build" --target almanex-cli almanex-gen-remind-events almanex-run-measured
fi
if ! command -v remind > /dev/null; then
  sudo=()
  [[ $(id -u) -eq 0 ]] || sudo=(sudo)
  echo "compare-remind: installing the Debian package remind" >&2
  "${sudo[@]}" apt-get install -y -o DPkg::Lock::Timeout=600 remind > /dev/null ||
    { "${sudo[@]}" apt-get update -o DPkg::Lock::Timeout=600 > /dev/null &&
      "${sudo[@]}" apt-get install -y -o DPkg::Lock::Timeout=600 remind > /dev/null; }
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache"
ini="$work/Config.INI"
rem="$work/events.rem"
"$generator" 10000 "$ini" "$rem" > /dev/null
# The file's dates are m/d/yyyy: en_US reads them whatever the machine's locale is.
due=("$cli" due --config "$ini" --locale en_US)
"${due[@]}" --day 2026-12-08 > /dev/null # fills the formats cache

# Every (day, event) pair of a range as "YYYY-MM-DD EventN", sorted: remind's simple calendar (-s) for
# $2 months from $1, and almanex-cli due for the same days ($3 of them).
# A calendar line is "YYYY/MM/DD * * * duration time EventN title..."; the first EventN is the section.
remind_pairs() {
  remind -s"$2" -q -r "$rem" "$1" |
    awk '{gsub("/", "-", $1); for (i = 2; i <= NF; ++i) if ($i ~ /^Event[0-9]+$/) { print $1, $i; break }}' | sort
}
almanex_pairs() { "${due[@]}" --day "$1" --days "$2" | tr '\t' ' ' | sort; }
check_range() {
  almanex_pairs "$1" "$3" > "$work/almanex.txt"
  remind_pairs "$1" "$2" > "$work/remind.txt"
  if ! cmp -s "$work/almanex.txt" "$work/remind.txt"; then
    echo "compare-remind: the programs disagree from $1 (< almanex-cli, > remind):" >&2
    diff "$work/almanex.txt" "$work/remind.txt" | head -20 >&2
    exit 1
  fi
  pairs=$((pairs + $(wc -l < "$work/almanex.txt")))
}
# December 2026 to December 2027 (a year end, a common February), and the leap February of 2028.
pairs=0
check_range 2026-12-01 13 396
check_range 2028-02-01 1 29
printf 'same (day, event) pairs due on 425 days: %d; files %s bytes (Config.INI) and %s bytes (Remind)\n' \
  "$pairs" "$(stat -c %s "$ini")" "$(stat -c %s "$rem")"

# A whole year in one process each: one parse against remind's simple calendar.
start=$(date +%s%N)
"${due[@]}" --day 2027-01-01 --days 365 > /dev/null
middle=$(date +%s%N)
remind -s12 -q -r "$rem" 2027-01-01 > /dev/null
end=$(date +%s%N)
printf 'a year (2027) in one run: almanex-cli due --days 365 %.1f ms, remind -s12 %.1f ms, ratio %.3f\n' \
  "$(awk -v v=$((middle - start)) 'BEGIN{print v/1e6}')" "$(awk -v v=$((end - middle)) 'BEGIN{print v/1e6}')" \
  "$(awk -v a=$((middle - start)) -v r=$((end - middle)) 'BEGIN{print a/r}')"

day=2026-12-08
runs=21
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
ms() { awk -v v="$1" 'BEGIN{printf "%.2f", v/1000}'; }
# One run of a command: "<wall us> <CPU us> <peak KB>", measured by almanex-run-measured from wait4.
measure() { "$measurer" "$@"; }
peak_kb() { measure "$@" | cut -d' ' -f3; }

printf '\n%-8s %-12s %9s %9s %9s %9s %9s %9s %12s %10s %10s %10s %10s\n' events "file bytes" "ax wall" "rem wall" ratio \
  "ax cpu" "rem cpu" ratio "due events" "ax due KB" "ax next KB" "ax list KB" "remind KB"
worst=0
for count in "${sizes[@]}"; do
  ini="$work/Config-$count.INI"
  rem="$work/events-$count.rem"
  "$generator" "$count" "$ini" "$rem" > /dev/null
  due=("$cli" due --config "$ini" --locale en_US --day "$day")
  other=(remind -q -r "$rem" "$day")
  "${due[@]}" > /dev/null # warm the page cache, the loader and the formats cache
  "${other[@]}" > /dev/null
  wall_a=() wall_r=() cpu_a=() cpu_r=()
  for _ in $(seq "$runs"); do
    read -r wall cpu _ < <(measure "${due[@]}")
    wall_a+=("$wall") cpu_a+=("$cpu")
    read -r wall cpu _ < <(measure "${other[@]}")
    wall_r+=("$wall") cpu_r+=("$cpu")
  done
  wa=$(median "${wall_a[@]}") wr=$(median "${wall_r[@]}") ca=$(median "${cpu_a[@]}") cr=$(median "${cpu_r[@]}")
  ratio=$(awk -v a="$wa" -v r="$wr" 'BEGIN{printf "%.2f", a/r}')
  worst=$(awk -v a="$ratio" -v w="$worst" 'BEGIN{print (a > w) ? a : w}')
  printf '%-8s %-12s %9s %9s %9s %9s %9s %9s %12s %10s %10s %10s %10s\n' "$count" "$(stat -c %s "$ini")" \
    "$(ms "$wa")" "$(ms "$wr")" "$ratio" "$(ms "$ca")" "$(ms "$cr")" \
    "$(awk -v a="$ca" -v r="$cr" 'BEGIN{printf "%.2f", a/r}')" "$("${due[@]}" | wc -l)" \
    "$(peak_kb "${due[@]}")" "$(peak_kb "$cli" next --config "$ini" --locale en_US --now "$day 09:30:00")" \
    "$(peak_kb "$cli" list --config "$ini" --locale en_US --now "$day 09:30:00")" "$(peak_kb "${other[@]}")"
done
echo "(times in ms, medians of $runs interleaved runs; KB: peak resident size of one run)"

# The run that builds the formats: the cache emptied before each run.
count=${sizes[0]}
miss=()
for _ in 1 2 3 4 5; do
  rm -rf "$XDG_CACHE_HOME"
  read -r wall _ < <(measure "$cli" due --config "$work/Config-$count.INI" --locale en_US --day "$day")
  miss+=("$wall")
done
printf 'almanex-cli due at %s events with an empty formats cache: %s ms (median of 5)\n' "$count" "$(ms "$(median "${miss[@]}")")"

echo "worst one-day ratio almanex/remind: $worst"
awk -v r="$worst" 'BEGIN{exit !(r > 1.0)}' && exit 3
exit 0
