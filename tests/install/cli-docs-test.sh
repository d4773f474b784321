#!/usr/bin/env bash
# The manual pages are well-formed troff, and almanex-cli's manual page names every command and option
# that `almanex-cli --help` lists, so that it does not fall behind the program.
#
# usage: cli-docs-test.sh PATH/TO/almanex-cli MAN_DIR
set -euo pipefail

cli=$1
man_dir=$2
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

command -v groff > /dev/null || { echo "FAIL: groff is not installed (make test installs groff-base)" >&2; exit 1; }
for page in "$man_dir"/*.1; do
  warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

help=$("$cli" --help)
# Commands: the word after "almanex-cli" on the usage lines; options: every --name in the help.
commands=$(sed -n 's/^ *\(usage: \)\{0,1\}almanex-cli \([a-z][a-z]*\).*/\2/p' <<< "$help" | sort -u)
options=$(grep -o -- '--[a-z][a-z-]*' <<< "$help" | sort -u)
[ -n "$commands" ] && [ -n "$options" ] || fail "no commands or options found in almanex-cli --help"

text=$(LC_ALL=C.UTF-8 MANWIDTH=200 groff -man -Tutf8 -P-cbou "$man_dir/almanex-cli.1" 2> /dev/null)
for word in $commands $options; do
  grep -qw -- "$word" <<< "$text" || fail "almanex-cli.1 does not mention $word"
done
[ "$failures" -eq 0 ] || exit 1
echo "cli docs: $(wc -w <<< "$commands") commands and $(wc -w <<< "$options") options documented"
