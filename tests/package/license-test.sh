#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file of the tree carries the project's licence in its first
# comment (an SPDX line within its first lines), and the licence text is there.
# Usage: license-test.sh SOURCE_DIR
set -euo pipefail
source=$1
cd "$source"
[[ -f LICENSE ]] && grep -q "GNU GENERAL PUBLIC LICENSE" LICENSE || { echo "FAIL: no LICENSE"; exit 1; }
missing=0
while IFS= read -r -d '' file; do
  if ! head -n 6 "$file" | grep -q "SPDX-License-Identifier: GPL-3.0-or-later"; then
    echo "no SPDX line: $file"
    missing=1
  fi
done < <(find . \( -path ./.git -o -path './build*' -o -path ./fuzz/corpus -o -path ./tests/data \) -prune -o \
              -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.cpp.in' -o -name CMakeLists.txt -o -name '*.cmake' \
              -o -name '*.sh' -o -name '*.bash' \) -print0)
exit $missing
