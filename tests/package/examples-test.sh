#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every krt command that the help, the man pages, the README and the manual
# show as an example runs as written, in that order, in a scratch folder
# holding the files they name (the examples/ folder; fw.hex, fw.mot, fw.bin
# and data.hex as stand-ins for the user's own), on the simulated
# programmer: a real port (--port ppdev..., --port direct) becomes
# --port sim. Each must end with status 0, and one that ends in "&& echo
# same" must print "same". The selftest examples are left to tools/test,
# which runs the whole selftest. krtwin's examples use only options that
# krtwin --help lists.
# Usage: examples-test.sh KRT KRTWIN SOURCE_DIR   (KRTWIN may be "-")
set -euo pipefail
krt=$1
krtwin=$2
source=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS=detect_leaks=0 HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/.config
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$scratch/home" "$scratch/bin"
ln -s "$krt" "$scratch/bin/krt"
failures=0
ran=0

# A fresh folder per document, as a user starting on it has.
folder() {
  local dir=$scratch/$1
  mkdir -p "$dir/build/bin"
  cp -r "$source/examples" "$dir/examples"
  cp "$source/examples/data.hex" "$dir/data.hex"
  cp "$source/examples/data.hex" "$dir/fw.hex"
  cp "$source/examples/data.mot" "$dir/fw.mot"
  head -c 48 "$source/examples/data.hex" > "$dir/fw.bin"
  ln -s "$krt" "$dir/build/bin/krt"
  echo "$dir"
}

run_examples() {  # DOCUMENT, then the command lines on standard input
  local document=$1 dir line command output status
  dir=$(folder "$(tr -c 'a-zA-Z0-9\n' _ <<<"$document")")
  while IFS= read -r line; do
    [[ -z $line || $line == *selftest* ]] && continue
    command=$(sed -E 's/--port (ppdev(:[^ ]*)?|direct)/--port sim/g' <<<"$line")
    ran=$((ran + 1))
    status=0
    output=$(cd "$dir" && PATH="$scratch/bin:$PATH" bash -c "$command" 2>&1 </dev/null) || status=$?
    if [[ $status -ne 0 ]]; then
      echo "FAIL ($document): '$line' ended with status $status:"
      tail -n 5 <<<"$output"
      failures=$((failures + 1))
    elif [[ $line == *"&& echo same"* ]] && [[ $(tail -n 1 <<<"$output") != same ]]; then
      echo "FAIL ($document): '$line' did not print same"
      failures=$((failures + 1))
    fi
  done
}

# krt --help: the commands in its text, (krt ...) or on lines of their own.
run_examples "krt --help" < <("$krt" --help | grep -oE '\(krt [^)]*\)|^ +krt .*' | sed -E 's/^\(//; s/\)$//; s/^ +//')
# krt.1 (made from krt --help and docs/krt.h2m) and krtwin.1: the bold lines.
man_examples() { grep -E '^\.B (krt|cat|krtwin) ' "$1" | sed -E 's/^\.B //; s/\\-/-/g'; }
run_examples "krt.1" < <(man_examples "$source/docs/krt.h2m" | grep -v '^krtwin')
# The README's indented command lines, comments dropped.
run_examples README < <(grep -E '^    (cat .*\| )?build/bin/krt ' "$source/README.md" | sed -E 's/ +#.*$//; s/^ +//')
# The manual's <pre> blocks, in both languages.
for page in "$source"/docs/manual/*/index.html; do
  run_examples "manual $(basename "$(dirname "$page")")" < <(
    awk '/<pre>/{inside=1} inside{print} /<\/pre>/{inside=0}' "$page" | sed -E 's/<\/?pre>//g' |
      grep -E '^(cat .*\| )?krt ' | sed 's/&amp;/\&/g; s/&lt;/</g; s/&gt;/>/g')
done

if [[ $krtwin != - ]]; then
  listed=$("$krtwin" --help)
  for option in $(man_examples "$source/docs/krtwin.1" | grep -oE -- '--[a-z-]+' | sort -u); do
    ran=$((ran + 1))
    grep -q -- "$option" <<<"$listed" || { echo "FAIL (krtwin.1): $option is not a krtwin option"; failures=$((failures + 1)); }
  done
fi

# The README's exit-status table is the one krt --help prints from the code.
help_statuses=$("$krt" --help | sed -n '/^Exit status:$/,/^$/p' | sed -nE 's/^  ([^ ]|[^ ].*[^ ])  +(.*)$/| \1 | \2 |/p')
readme_statuses=$(sed -n '/^Exit statuses of `krt`/,/^## /p' "$source/README.md" | grep '^| [0-9]' || true)
[[ -n $help_statuses ]] || { echo "FAIL: krt --help lists no exit statuses"; failures=$((failures + 1)); }
if [[ $help_statuses != "$readme_statuses" ]]; then
  echo "FAIL: the README's exit-status table is not the one of krt --help:"
  diff <(echo "$help_statuses") <(echo "$readme_statuses") || true
  failures=$((failures + 1))
fi

[[ $ran -ge 20 ]] || { echo "FAIL: only $ran examples found"; exit 1; }
[[ $failures -eq 0 ]] || { echo "$failures of $ran examples failed"; exit 1; }
echo "all $ran examples ran as written"
