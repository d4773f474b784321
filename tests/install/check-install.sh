#!/usr/bin/env bash
# `cmake --install` into a temporary prefix: exactly the files of EXPECTED (no more, no fewer), the
# executables executable and the others not, each rendered icon as large as the folder it sits in, the
# installed executables answering from their new place.
#
# usage: check-install.sh BUILD_DIR EXPECTED
set -euo pipefail

build=$1
expected=$2
prefix=$(mktemp -d /tmp/almanex-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix" > "$prefix.log" 2>&1 || { cat "$prefix.log" >&2; rm -f "$prefix.log"; fail "cmake --install failed"; }
rm -f "$prefix.log"

# The file list, compared line by line so that a missing and an extra file are both named.
actual=$(cd "$prefix" && find . \( -type f -o -type l \) -printf '%P\n' | LC_ALL=C sort)
wanted=$(grep -v '^#' "$expected" | LC_ALL=C sort)
if [ "$actual" != "$wanted" ]; then
  diff <(printf '%s\n' "$wanted") <(printf '%s\n' "$actual") | sed -n 's/^< /missing: /p; s/^> /unexpected: /p' >&2 || true
  fail "the installed files differ from $expected"
fi

# Modes: 0755 for the executables, 0644 for the rest.
while read -r file; do
  mode=$(stat -c %a "$prefix/$file")
  case $file in
    bin/* | lib/almanex/almanex-cli-calendar) [ "$mode" = 755 ] || fail "$file has mode $mode, not 755" ;;
    *) [ "$mode" = 644 ] || fail "$file has mode $mode, not 644" ;;
  esac
done <<< "$actual"

# Each PNG of the hicolor theme is as wide and as high as its folder says (the IHDR fields of the file).
while read -r png; do
  size=${png#share/icons/hicolor/}
  size=${size%%/*}
  read -r width height < <(od -An -tu1 -j16 -N8 "$prefix/$png" |
    awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }')
  [ "${width}x$height" = "$size" ] || fail "$png is ${width}x$height"
done < <(grep '\.png$' <<< "$actual")

# The manual pages are gzip files.
for page in "$prefix"/share/man/man1/*.gz; do
  gzip -t "$page" || fail "$page is not a gzip file"
done

# The launcher starts an installed executable and shows an installed icon; the metainfo names the launcher.
for entry in "$prefix"/share/applications/*.desktop; do
  exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
  icon_name=$(sed -n 's/^Icon=//p' "$entry")
  [ -x "$prefix/bin/$exec_name" ] || fail "$(basename "$entry"): Exec=$exec_name is not installed in bin"
  [ -f "$prefix/share/icons/hicolor/scalable/apps/$icon_name.svg" ] &&
    [ -f "$prefix/share/icons/hicolor/48x48/apps/$icon_name.png" ] ||
    fail "$(basename "$entry"): Icon=$icon_name is not installed in the hicolor theme"
  grep -qF "<launchable type=\"desktop-id\">$(basename "$entry")</launchable>" "$prefix"/share/metainfo/*.xml ||
    fail "the metainfo does not launch $(basename "$entry")"
done

# The installed almanex-cli runs from the prefix and reads its version block there.
"$prefix/bin/almanex-cli" --version | grep -qE '^almanex-cli [0-9]+\.[0-9]+ \(Build [0-9.]+\)$' ||
  fail "the installed almanex-cli --version does not answer"
echo "install: $(wc -l <<< "$actual") files as listed"
