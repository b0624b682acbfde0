#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# tools/bootstrap on a machine without a display: it must not try to open
# the window (Qt would abort), but say how to start it on a desktop and run
# krt's detection on the simulated programmer. The installer, cmake and the
# programs are stand-ins that record how they were called.
# Usage: bootstrap-test.sh SOURCE_DIR
set -euo pipefail
source=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/tree/tools" "$scratch/tree/build/bin" "$scratch/stubs"
cp "$source/tools/bootstrap" "$scratch/tree/tools/"
printf '#!/bin/sh\nexit 0\n' > "$scratch/tree/tools/install-deps"
printf '#!/bin/sh\nexit 0\n' > "$scratch/stubs/cmake"
printf '#!/bin/sh\necho "krtwin $*"\n' > "$scratch/tree/build/bin/krtwin"
printf '#!/bin/sh\necho "krt $*"\n' > "$scratch/tree/build/bin/krt"
chmod +x "$scratch/tree/tools/"* "$scratch/stubs/cmake" "$scratch/tree/build/bin/"*

headless=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM PATH="$scratch/stubs:$PATH" \
  "$scratch/tree/tools/bootstrap" 2>&1)
grep -q "no display" <<<"$headless" || { echo "FAIL: no word of the missing display: $headless"; exit 1; }
grep -q "build/bin/krtwin --port sim" <<<"$headless" || { echo "FAIL: no hint how to start the window"; exit 1; }
grep -qx "krt --port sim detect" <<<"$headless" || { echo "FAIL: krt detect did not run: $headless"; exit 1; }
grep -q "^krtwin" <<<"$headless" && { echo "FAIL: the window was started without a display"; exit 1; }

desktop=$(env DISPLAY=:0 PATH="$scratch/stubs:$PATH" "$scratch/tree/tools/bootstrap" 2>&1)
grep -qx "krtwin --port sim" <<<"$desktop" || { echo "FAIL: the window was not started on a desktop: $desktop"; exit 1; }
echo "bootstrap starts the window on a desktop and krt without a display"
