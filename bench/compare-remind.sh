#!/usr/bin/env bash
# almanex-cli due against Remind on the same 10,000 recurring events.
#
# Generates the events twice with almanex-gen-remind-events (a Config.INI of dialog-shaped sections, and
# the same patterns as a Remind script), checks that both programs find the same events due on every
# day from December 2026 to December 2027 and in February 2028 (almanex-cli due --days against remind's
# simple calendar -s), times a whole year in one run of each, then times one day, `almanex-cli due
# --day D` against `remind -q -r FILE D`, as whole processes, interleaved, median of 21 runs each. The
# last line is the one-day ratio almanex/remind (the aim: no more than 1.00).
#
# usage: bench/compare-remind.sh [BUILD_FOLDER]
# Installs the Debian package remind when it is missing (through sudo when not root). Exit status 1 when
# the two programs disagree, 3 when almanex-cli is slower than remind.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
cli="$build/tools/almanex-cli"
generator="$build/bench/almanex-gen-remind-events"
if [[ ! -x $cli || ! -x $generator ]]; then
  cmake --build "$build" --target almanex-cli almanex-gen-remind-events
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
ini="$work/Config.INI"
rem="$work/events.rem"
"$generator" 10000 "$ini" "$rem"
# The file's dates are m/d/yyyy: en_US reads them whatever the machine's locale is.
due=("$cli" due --config "$ini" --locale en_US)

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
almanex_times=()
remind_times=()
"${due[@]}" --day "$day" > /dev/null # warm the page cache and the loader
remind -q -r "$rem" "$day" > /dev/null
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  "${due[@]}" --day "$day" > /dev/null
  middle=$(date +%s%N)
  remind -q -r "$rem" "$day" > /dev/null
  end=$(date +%s%N)
  almanex_times+=($(((middle - start) / 1000)))
  remind_times+=($(((end - middle) / 1000)))
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
almanex=$(median "${almanex_times[@]}")
remind=$(median "${remind_times[@]}")
count=$("${due[@]}" --day "$day" | wc -l)
printf 'almanex-cli due --day %s: %6.1f ms (median of %d), %d events due\n' "$day" "$(awk -v v="$almanex" 'BEGIN{print v/1000}')" "$runs" "$count"
printf 'remind -q -r FILE %s:    %6.1f ms (median of %d)\n' "$day" "$(awk -v v="$remind" 'BEGIN{print v/1000}')" "$runs"
ratio=$(awk -v a="$almanex" -v r="$remind" 'BEGIN{printf "%.2f", a/r}')
echo "ratio almanex/remind: $ratio"
awk -v r="$ratio" 'BEGIN{exit !(r > 1.0)}' && exit 3
exit 0
