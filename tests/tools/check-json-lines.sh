#!/bin/sh
# Every --json line of almanex-cli (list, next, due) is read by Python's json module, as a panel script
# reads it. Arguments: the almanex-cli executable, a configuration file.
set -eu
cli=$1
config=$2
now='2026-12-25 12:00:00'
{
  "$cli" list --json --config "$config" --now "$now" --locale en_US
  "$cli" next --json --config "$config" --now "$now" --locale en_US
  "$cli" due --json --day 2026-12-24 --days 3 --config "$config" --now "$now" --locale en_US
} | python3 -c '
import json, sys
count = 0
for line in sys.stdin.buffer:
    value = json.loads(line.decode("utf-8"))
    assert isinstance(value, dict), line
    for name in ("section", "title", "type", "date", "time", "yearsText", "secondsText", "remind"):
        assert name in value, (name, line)
    count += 1
assert count > 0, "no lines"
print(count, "lines read")
'
