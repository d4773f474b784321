#!/usr/bin/env bash
# End-to-end: a writer killed with SIGKILL at random moments while it commits the store, 200 times.
#
# usage: crash-e2e.sh PATH/TO/almanex_store_writer
#
# The writer commits version after version of a file (each version's bytes known exactly, about 200 to
# 500 KB, so a kill often lands while the temporary file is written). After each kill the file must be
# byte for byte one whole version, never older than the last one seen. A kill during a commit leaves a
# temporary file; once it is over a minute old (its time set back here, as a minute passing would), the
# next commit removes it: after that commit the folder holds the file alone.
# Then a writer that flips one mark in place (one byte written into the file, no replace) is killed
# at random moments, ALMANEX_MARK_KILLS times (100): the file must be the old bytes or the new ones.
# Prints the counts: kills, kills that left a temporary file, versions committed, marks flipped.
set -euo pipefail

writer=$1
kills=${ALMANEX_CRASH_KILLS:-200}
work=$(mktemp -d "${TMPDIR:-/tmp}/almanex-crash-XXXXXX")
trap 'rm -rf "$work"' EXIT
file="$work/Config.INI"

fail() {
  echo "FAIL: $*" >&2
  ls -la "$work" >&2
  exit 1
}

# Starts the writer's loop COMMAND on the file and kills it at a random moment in its first MS ms.
kill_within() {
  local ms=$1 command=$2
  "$writer" "$command" "$file" &
  local pid=$!
  sleep "0.$(printf '%03d' $((RANDOM % ms)))"
  kill -KILL "$pid"
  wait "$pid" 2> /dev/null || true
}

# Fails with WHAT unless the folder holds the file alone (hidden temporaries included).
expect_file_alone() {
  local entries
  shopt -s nullglob dotglob
  entries=("$work"/*)
  shopt -u nullglob dotglob
  [ "${entries[*]}" = "$file" ] || fail "$1: ${entries[*]}"
}

previous=0
leftovers=0
for ((kill = 1; kill <= kills; kill++)); do
  # A random moment in the first 60 ms: the start, or one of the first few commits.
  kill_within 60 crash-loop

  version=$("$writer" crash-check "$file") || fail "kill $kill: the file is no whole version (Counter=$version)"
  [ "$version" -ge "$previous" ] || fail "kill $kill: version $version after version $previous"

  shopt -s nullglob dotglob
  temporaries=("$work"/.Config.INI.almanex-tmp-*)
  if [ ${#temporaries[@]} -gt 0 ]; then
    leftovers=$((leftovers + 1))
    touch -d '2 minutes ago' "${temporaries[@]}"
  fi
  "$writer" crash-commit "$file" || fail "kill $kill: the next commit failed"
  previous=$("$writer" crash-check "$file") || fail "kill $kill: the next commit left no whole version"
  [ "$previous" -eq $((version + 1)) ] || fail "kill $kill: the next commit made version $previous after $version"
  shopt -u nullglob dotglob
  expect_file_alone "kill $kill: left in the folder after the next commit"
done
echo "crash test: $kills kills, $leftovers during a commit (each left a temporary file and the old version)," \
  "$previous versions committed; every file whole, every temporary removed by the next commit"

# The mark written in place.
marks=${ALMANEX_MARK_KILLS:-100}
rm -f "$file"
"$writer" mark-start "$file"
flips=0
for ((kill = 1; kill <= marks; kill++)); do
  before=$("$writer" mark-check "$file") || fail "mark kill $kill: the file was not whole before it"
  kill_within 30 mark-loop
  after=$("$writer" mark-check "$file") || fail "mark kill $kill: the file is not whole (Mark=$after)"
  [ "$after" = "$before" ] || flips=$((flips + 1))
  expect_file_alone "mark kill $kill: a write in place left"
done
echo "mark test: $marks kills of a writer flipping a mark in place; every file whole, no temporary file;" \
  "the mark differed from the one before in $flips of them"
