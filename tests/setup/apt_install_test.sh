#!/usr/bin/env bash
# scripts/apt-install against a stand-in apt-get: a mirror in mid-sync does
# not stop the install, and what cannot be installed is reported.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/bin"
cp "$here/apt-get" "$scratch/bin/apt-get"
printf '#!/bin/sh\n[ "$1" = --print-foreign-architectures ] && echo i386\nexit 0\n' > "$scratch/bin/dpkg"
printf '#!/bin/sh\nexec "$@"\n' > "$scratch/bin/sudo"
chmod +x "$scratch/bin"/*
release=$(. /etc/os-release && echo "$VERSION_CODENAME")
failed=0
# mode, expected exit code, expected calls (one per line), expected lines of
# the output ("" for none of its own)
check() {
  : > "$scratch/log"
  local out code calls text
  out=$(APT_MODE=$1 APT_LOG="$scratch/log" PATH="$scratch/bin:$PATH" "$here/../../scripts/apt-install" pkg-a wine32:i386 2>&1)
  code=$?
  calls=$(sed -E 's/ -y -q --no-install-recommends//' "$scratch/log")
  text=$(grep '^setup:' <<<"$out" | cut -c1-60)
  if [ "$code" != "$2" ] || [ "$calls" != "$3" ] || [ "$text" != "$4" ]; then
    printf 'FAIL %s: exit %s, calls:\n%s\nsaid:\n%s\n' "$1" "$code" "$calls" "$text"
    failed=1
  else
    echo "ok $1"
  fi
}
retried=$'update -q\ninstall pkg-a wine32:i386\ninstall -t '"$release"' pkg-a wine32:i386'
check sync 0 "$retried" "setup: apt-get update failed for some index (a mirror in mid
setup: the install failed (versions that differ between arch"
check broken 1 "$retried" "setup: apt-get update failed for some index (a mirror in mid
setup: the install failed (versions that differ between arch
setup: could not install: pkg-a wine32:i386
setup: a Debian mirror may be in mid-sync: wait a while and "
check ok 0 $'update -q\ninstall pkg-a wine32:i386' ""
exit $failed
