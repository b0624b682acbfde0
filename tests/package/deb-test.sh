#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as Debian would judge it: made twice from one build
# tree (by make-packages.sh), the two .deb files are the same bytes;
# lintian (when installed) finds no error and no warning at --pedantic;
# every picture the installed manual shows, in both languages, and every
# file it links to is in the package; the man pages and changelogs are
# compressed and the programs stripped.
# Usage: deb-test.sh PACKAGES_DIR (the two packages make-packages.sh made)
set -euo pipefail
packages=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

first=$(ls "$packages"/one/krtwin_*.deb)
second=$(ls "$packages"/two/krtwin_*.deb)
if ! cmp -s "$first" "$second"; then
  command -v diffoscope >/dev/null && diffoscope "$first" "$second" | head -n 40 >&2
  fail "two packages of one build tree differ"
fi

root=$scratch/root
dpkg -x "$first" "$root"
for file in usr/share/man/man1/krtwin.1.gz usr/share/doc/krtwin/changelog.Debian.gz \
            usr/share/doc/krtwin/changelog.gz usr/share/doc/krtwin/copyright; do
  [[ -s $root/$file ]] || fail "the package lacks $file"
done
for program in usr/bin/krt usr/bin/krtwin; do
  file "$root/$program" | grep -q "not stripped" && fail "$program is not stripped"
done
[[ $(dpkg-deb -f "$first" Maintainer) != *localhost* ]] || fail "the maintainer's address is on localhost"

# The desktop entry opens data files: it passes the file (%f), and every MIME
# type it names is one that the package or the system's shared-mime-info
# defines.
entry=$root/usr/share/applications/krtwin.desktop
grep -qE '^Exec=krtwin %[fF]$' "$entry" || fail "the desktop entry does not pass the file to krtwin"
types=$(sed -n 's/^MimeType=//p' "$entry" | tr ';' ' ')
[[ -n $types ]] || fail "the desktop entry names no MIME type"
for type in $types; do
  grep -qs "mime-type type=\"$type\"" "$root"/usr/share/mime/packages/*.xml /usr/share/mime/packages/*.xml ||
    fail "the desktop entry names $type, which no mime package defines"
done

# Every picture of the installed manual, by the path the manual gives.
for page in "$root"/usr/share/krtwin/manual/*/index.html; do
  shown=$(grep -o '<img [^>]*src="[^"]*"' "$page" | sed 's|.*src="||; s|"$||' | sort -u)
  [[ -n $shown ]] || fail "$(basename "$(dirname "$page")") manual shows no pictures"
  for picture in $shown; do
    [[ -s $(dirname "$page")/$picture ]] || fail "the manual $page shows $picture, which is not installed"
  done
  # And every file it links to (not a place in itself, not the web).
  for target in $(grep -oE 'href="[^"#:]+"' "$page" | sed 's|href="||; s|"$||' | sort -u); do
    [[ -s $(dirname "$page")/$target ]] || fail "the manual $page links to $target, which is not installed"
  done
done

if command -v lintian >/dev/null; then
  report=$(lintian --pedantic --tag-display-limit 0 "$first" 2>&1 || true)
  if grep -E '^[EW]: ' <<<"$report"; then
    fail "lintian --pedantic finds errors or warnings in the package"
  fi
  grep -E '^[IPX]: ' <<<"$report" || true
else
  echo "lintian is not installed: the package's lint is not checked"
fi
echo "the package is made the same twice and passes its checks"
