#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed program as users get it: an installation under a scratch
# prefix, and the Debian package unpacked into a scratch root, each used
# from there (catalogue found beside the program, the simulated programmer
# writing and reading a chip), with every file the package promises.
# Usage: install-test.sh BUILD_DIR SOURCE_DIR PACKAGES_DIR (the package make-packages.sh made)
set -euo pipefail
build=$1
source=$2
packages=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS=detect_leaks=0
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
fail() { echo "FAIL: $*" >&2; exit 1; }

# Any prefix: cmake --install into an empty folder, then krt from there.
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
# (Output taken whole first: grep -q ending early would break the pipe under pipefail.)
types=$("$scratch/prefix/bin/krt" list)
grep -qx EPROM <<<"$types" || fail "installed krt list does not list EPROM"

# The package.
deb=$(ls "$packages"/one/krtwin_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6svg6 libc6; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
root=$scratch/root
dpkg -x "$deb" "$root"
for file in usr/bin/krt usr/bin/krtwin usr/share/krtwin/DEVICE.LST usr/share/krtwin/manual/en/index.html \
            usr/share/applications/krtwin.desktop usr/share/icons/hicolor/scalable/apps/krtwin.svg \
            usr/share/metainfo/io.github.krtwin.KRTwin.metainfo.xml usr/share/man/man1/krtwin.1.gz \
            usr/share/doc/krtwin/copyright usr/lib/modules-load.d/krtwin.conf \
            usr/share/bash-completion/completions/krt; do
  [[ -e $root/$file ]] || fail "the package lacks $file"
done
if [[ -e $build/man/krt.1 ]]; then
  [[ -e $root/usr/share/man/man1/krt.1.gz ]] || fail "the package lacks the krt man page"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.krtwin.KRTwin.metainfo.xml" >/dev/null ||
    fail "appstreamcli refuses the metainfo"
fi

krt=$root/usr/bin/krt
parts=$("$krt" list EEPROM Atmel)
grep -qx AT28C256 <<<"$parts" || fail "packaged krt does not find its catalogue"
version=$("$krt" --version)
grep -q '^krt [0-9]' <<<"$version" || fail "krt --version"
# krtwin's short and long forms, without a display, each listed in its --help.
for option in -V --version; do
  version=$("$root/usr/bin/krtwin" "$option")
  grep -qx 'krtwin [0-9].*' <<<"$version" || fail "krtwin $option without a display: $version"
done
for option in -h --help; do
  help=$("$root/usr/bin/krtwin" "$option")
  for listed in '--port' '-h, --help' '-V, -v, --version'; do
    grep -q -- "$listed" <<<"$help" || fail "krtwin $option does not list $listed"
  done
done
head -c 2048 /dev/urandom > "$scratch/data.bin"
"$krt" --settings /dev/null --port sim --sim-chip "$scratch/c.chip" write EEPROM Atmel AT28C16 "$scratch/data.bin" \
  >/dev/null 2>&1 || fail "packaged krt write on the simulator"
"$krt" --settings /dev/null --port sim --sim-chip "$scratch/c.chip" read EEPROM Atmel AT28C16 "$scratch/back.bin" \
  >/dev/null 2>&1 || fail "packaged krt read on the simulator"
cmp -s "$scratch/data.bin" "$scratch/back.bin" || fail "the chip read back differs from the file written"
echo "installed and packaged programs work"
