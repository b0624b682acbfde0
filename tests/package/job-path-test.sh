#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The workspace steps have one home: only session/ (and the layers it
# calls, catalogue/ and data/) loads a device record or reads and writes a
# data file. A front end (cli/, ui/) or any other folder asks the session,
# so that a rule about these steps is written once.
# Usage: job-path-test.sh SOURCE_DIR
set -euo pipefail
cd "$1"
found=0
while IFS= read -r -d '' file; do
  # The catalogue's device loader, the data layer's transfers (a free call
  # with its six arguments, not a session's or a window's member of that
  # name), and the data layer's file object.
  if grep -Eq 'LoadDeviceRecord[[:space:]]*\(' "$file" ||
     grep -Pzq '(?<![>.:\w])(Read|Write)DataFile\s*\((?:[^,;()]*(?:\([^()]*\))?[^,;()]*,){4}' "$file" ||
     grep -Pq '::krt::(Read|Write)DataFile\s*\(' "$file" ||
     grep -Pq '(?<![\w:])DataFile\s+\w+\s*[({;]' "$file"; then
    echo "loads a device or a data file itself instead of asking session/: $file"
    found=1
  fi
done < <(find . \( -path ./.git -o -path './build*' -o -path ./session -o -path ./catalogue -o -path ./data \
              -o -path ./tests -o -path ./fuzz -o -path ./bench \) -prune -o \
              -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
exit $found
