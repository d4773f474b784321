#!/usr/bin/env bash
# The Debian package on a fresh Debian 12: `apt-get install ./almanex_*.deb` into a minimal bookworm root
# made by debootstrap, which must pull every library the package depends on from the archive; then
# almanex-cli runs there: --version, and list in an empty home and on a file of its own.
#
# usage: package-test.sh BUILD_DIR                  the package make package left in BUILD_DIR
#        package-test.sh BUILD_DIR --make-package   a package made here from BUILD_DIR with cpack (CTest)
#
# Needs root (debootstrap, chroot, mounting /proc) and debootstrap; otherwise it says why and exits 77
# (skipped). The archive is the one this machine's apt sources name. The root, after `apt-get update`,
# is kept as a tarball in the cache folder, and the packages apt downloads beside it, so that only the
# first run fetches: ${ALMANEX_PACKAGE_TEST_CACHE:-${XDG_CACHE_HOME:-~/.cache}/almanex/package-test}.
set -euo pipefail

skip() {
  echo "package test skipped: $*"
  exit 77
}
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

[ $# -eq 1 ] || { [ $# -eq 2 ] && [ "$2" = --make-package ]; } ||
  fail "usage: package-test.sh BUILD_DIR [--make-package]"
build=$(cd "$1" && pwd)
[ "$(id -u)" -eq 0 ] || skip "it must run as root (debootstrap, chroot)"
command -v debootstrap > /dev/null || skip "debootstrap is not installed (apt-get install debootstrap)"

# The Debian archive this machine installs from: the first source of the suite bookworm itself.
mirror() {
  local file
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    # deb822 stanzas, separated by blank lines: the URIs of the first one whose Suites hold bookworm.
    awk 'BEGIN { RS = ""; FS = "\n" }
         {
           uris = ""; suites = ""; types = ""
           for (i = 1; i <= NF; i++) {
             if ($i ~ /^URIs:/) uris = substr($i, 6)
             if ($i ~ /^Suites:/) suites = " " substr($i, 8) " "
             if ($i ~ /^Types:/) types = " " substr($i, 7) " "
           }
           if (types ~ / deb / && suites ~ /[ \t]bookworm[ \t]/) { split(uris, u, " "); print u[1]; exit }
         }' "$file"
  done
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    # One-line form: deb [options] URI suite components.
    sed -E 's/\[[^]]*\]//' "$file" | awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }'
  done
}
archive=$(mirror | head -n 1)
[ -n "$archive" ] || skip "no Debian bookworm source in /etc/apt/sources.list or /etc/apt/sources.list.d"

cache=${ALMANEX_PACKAGE_TEST_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/almanex/package-test}
mkdir -p "$cache/archives"
base="$cache/bookworm-minbase.tar"

work=$(mktemp -d /tmp/almanex-package-XXXXXX)
root="$work/root"
cleanup() {
  if mountpoint -q "$root/proc" 2> /dev/null; then
    umount "$root/proc" || { echo "could not unmount $root/proc; $work is left in place" >&2; return; }
  fi
  rm -rf "$work"
}
trap cleanup EXIT

if [ $# -eq 2 ]; then
  (cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package") > "$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
  debs=("$work"/package/almanex_*.deb)
else
  debs=("$build"/almanex_*.deb)
fi
[ -f "${debs[0]}" ] || fail "no almanex_*.deb in $build: run make package first"
[ "${#debs[@]}" -eq 1 ] || fail "more than one almanex_*.deb: ${debs[*]}"
deb=${debs[0]}

# Commands in the root, with a clean environment and a home of their own.
in_root() {
  chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/tmp/home XDG_DATA_HOME=/tmp/home/data \
    XDG_CONFIG_HOME=/tmp/home/config LANG=C.UTF-8 TZ=UTC DEBIAN_FRONTEND=noninteractive "$@"
}
enter_root() {
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  mount -t proc proc "$root/proc"
}

start=$SECONDS
if [ -f "$base" ]; then
  echo "package test: the cached root $base"
  mkdir "$root"
  tar --numeric-owner -xpf "$base" -C "$root"
  enter_root
else
  echo "package test: a new bookworm root from $archive (the first run takes a few minutes)"
  debootstrap --variant=minbase bookworm "$root" "$archive" > "$work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$work/debootstrap.log" >&2; fail "debootstrap failed"; }
  enter_root
  in_root apt-get update -q > "$work/update.log" 2>&1 || { cat "$work/update.log" >&2; fail "apt-get update failed"; }
  in_root apt-get clean
  tar --numeric-owner -cf "$base.part" -C "$root" --exclude=./proc/* . && mv "$base.part" "$base"
fi
echo "package test: root ready after $((SECONDS - start)) s"

# The packages earlier runs downloaded; apt fetches only what is missing or newer.
find "$cache/archives" -name '*.deb' -exec cp -t "$root/var/cache/apt/archives/" {} +
in_root apt-get update -q > "$work/update.log" 2>&1 || { cat "$work/update.log" >&2; fail "apt-get update failed"; }
echo "package test: package lists updated after $((SECONDS - start)) s"
cp "$deb" "$root/tmp/"
chmod 0644 "$root/tmp/$(basename "$deb")"
# Without the recommended packages: the package's own Depends alone must make almanex-cli run (and the
# install is half the size). The root is thrown away afterwards, so dpkg need not sync every file.
in_root sh -c 'cd /tmp && exec apt-get install -y --no-install-recommends \
  -o Dpkg::Options::=--force-unsafe-io "./$1"' sh "$(basename "$deb")" \
  > "$work/install.log" 2>&1 < /dev/null ||
  { tail -n 30 "$work/install.log" >&2; fail "apt-get install ./$(basename "$deb") failed"; }
find "$root/var/cache/apt/archives" -maxdepth 1 -name '*.deb' -exec cp -n -t "$cache/archives/" {} +
echo "package test: installed after $((SECONDS - start)) s ($(grep -o '[0-9]* newly installed' "$work/install.log"))"

# almanex-cli --version answers from the version block of the installed executable.
version=$(in_root almanex-cli --version) || fail "almanex-cli --version failed"
[[ $version =~ ^almanex-cli\ [0-9]+\.[0-9]+\ \(Build\ [0-9.]+\)$ ]] || fail "almanex-cli --version printed '$version'"

# list in an empty home: no events, no error.
in_root mkdir -p /tmp/home
out=$(in_root almanex-cli list 2> "$work/list.err") || { cat "$work/list.err" >&2; fail "almanex-cli list failed"; }
[ -z "$out" ] || fail "almanex-cli list printed rows in an empty home: $out"
[ ! -s "$work/list.err" ] || { cat "$work/list.err" >&2; fail "almanex-cli list wrote to stderr"; }

# list on a file: the event's row, its section and title as the first two columns.
printf '%s\r\n' '[Event1]' 'Title=Wedding anniversary' 'Date=6/14/2003' 'Time=4:00:00 PM' \
  'TypeDesc=Anniversary' > "$root/tmp/home/events.ini"
out=$(in_root almanex-cli list --config /tmp/home/events.ini --locale en_US --now "2026-06-14 12:00:00") ||
  fail "almanex-cli list --config failed"
[ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || fail "almanex-cli list printed '$out' for one event"
[ "$(printf '%s\n' "$out" | cut -f 1,2)" = $'Event1\tWedding anniversary' ] || fail "almanex-cli list printed '$out'"
[ "$(printf '%s\n' "$out" | awk -F '\t' '{ print NF }')" -eq 12 ] || fail "almanex-cli list printed '$out', not 12 columns"

# The package brings no autostart entry: the program registers itself for the user.
if in_root dpkg -L almanex | grep -q autostart; then fail "the package installs an autostart entry"; fi
in_root test -x /usr/bin/almanex || fail "/usr/bin/almanex is not installed"
in_root test -f /usr/share/applications/io.github.quorvel.Almanex.desktop || fail "no desktop entry"

echo "package test: passed in $((SECONDS - start)) s"
