#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the Debian package twice from one build tree, a second apart (a time
# taken from the clock would show), into OUT/one and OUT/two, for the
# package tests that follow: one pair of packages serves the reproducibility
# comparison and the installation test alike. The two runs go side by side.
# Usage: make-packages.sh BUILD_DIR OUT_DIR
set -euo pipefail
build=$1
out=$2
rm -rf "$out"
make_package() {
  mkdir -p "$out/$1"
  (cd "$out/$1" && cpack --config "$build/CPackConfig.cmake" -B "$out/$1" >"$out/$1.log" 2>&1) ||
    { cat "$out/$1.log" >&2; return 1; }
}
make_package one &
first=$!
sleep 1
make_package two &
second=$!
status=0
wait "$first" || status=1
wait "$second" || status=1
[[ $status -eq 0 ]] || { echo "FAIL: cpack could not make the package" >&2; exit 1; }
ls "$out"/one/krtwin_*.deb "$out"/two/krtwin_*.deb
