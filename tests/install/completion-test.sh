#!/usr/bin/env bash
# The bash completion of almanex-cli, driven as bash drives it: for each command line of the table (the
# cursor at its end), COMP_WORDS split the way readline splits them, the completion function called, and
# the offered words compared as a set. Then, from the usage that `almanex-cli --help` prints: every
# command is offered, and after each command exactly the options its usage line names.
#
# usage: completion-test.sh PATH/TO/completion-file PATH/TO/almanex-cli
set -uo pipefail

bash_completion=/usr/share/bash-completion/bash_completion
[ -r "$bash_completion" ] || { echo "FAIL: $bash_completion is missing (make test installs bash-completion)" >&2; exit 1; }
# shellcheck source=/dev/null
source "$bash_completion"
# shellcheck source=/dev/null
source "$1"
cli=$(readlink -f "$2")

work=$(mktemp -d /tmp/almanex-completion-XXXXXX)
trap 'rm -rf "$work"' EXIT
# Two event sections and one that is not an event (no Title), CR LF line ends as Almanex writes them.
printf '%s\r\n' '[Formats]' 'ShortDateFormat=M/d/yyyy' '[Event1]' 'Title=Picnic' '[Birthday2]' 'Title=Mum' \
  > "$work/events.ini"
touch "$work/other.INI" "$work/notes.txt"
cd "$work" || exit 1

# Offers for LINE (the cursor after its last character), sorted, on one line.
offers() {
  local line=$1
  # readline's words: blanks separate, and "=" is a word of its own (it is in COMP_WORDBREAKS).
  local -a split_words
  read -r -a split_words <<< "${line//=/ = }"
  [[ $line == *" " ]] && split_words+=("")
  [[ $line == *"=" ]] && split_words+=("")
  COMP_WORDS=("${split_words[@]}")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  _almanex_cli almanex-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//'
}

failures=0
check() {
  local line=$1 wanted=$2 got
  got=$(offers "$line")
  if [ "$got" != "$wanted" ]; then
    echo "FAIL: '$line' offers '$got', not '$wanted'" >&2
    failures=$((failures + 1))
  fi
}

# line                                              offered words
check 'almanex-cli '                                '--help --version -h due export import list next report sentence'
check 'almanex-cli re'                              'report'
check 'almanex-cli list -'                          '--config --json --locale --now'
check 'almanex-cli next --now "2027-01-01 08:00:00" ' '--config --json --locale'
check 'almanex-cli due -'                           '--config --day --days --json --locale --now'
check 'almanex-cli due --day 2027-01-01 --'         '--config --days --json --locale --now'
check 'almanex-cli due --day=2027-01-01 --days=3 -' '--config --json --locale --now'
check 'almanex-cli import --ics x.ics -'           '--config --dry-run --locale --now'
check 'almanex-cli due --day '                      ''
check 'almanex-cli sentence -'                      '--config --locale --now --section'
check 'almanex-cli report --section Event1 -'      '--config --locale --now'
check 'almanex-cli report --config events.ini --section ' 'Birthday2 Event1'
check 'almanex-cli report --config=events.ini --section=Ev' 'Event1'
check 'almanex-cli sentence --section '             ''
check 'almanex-cli list --config '                  'events.ini other.INI'
check 'almanex-cli list --locale C'                 'C'
check 'almanex-cli --version '                      ''
check 'almanex-cli bogus -'                         ''

# The program's own usage lines: "almanex-cli COMMAND [--option ...] ...", one per command.
usage=$("$cli" --help | grep -E '^ *(usage: )?almanex-cli [a-z]')
commands=$(sed -E 's/^ *(usage: )?almanex-cli ([a-z]+).*/\2/' <<< "$usage" | LC_ALL=C sort | tr '\n' ' ')
[ -n "${commands// /}" ] || { echo "FAIL: no commands in almanex-cli --help" >&2; exit 1; }
check 'almanex-cli ' "--help --version -h ${commands% }"
for command in $commands; do
  options=$(grep -E "almanex-cli $command( |\$)" <<< "$usage" | grep -oE -- '--[a-z-]+' | LC_ALL=C sort -u | tr '\n' ' ')
  check "almanex-cli $command -" "${options% }"
done

[ "$failures" -eq 0 ] || exit 1
echo "completion: all cases passed, $(wc -w <<< "$commands") commands checked against almanex-cli --help"
