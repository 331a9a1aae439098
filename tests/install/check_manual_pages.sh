#!/usr/bin/env bash
# check_manual_pages.sh <archiver> <docs dir>
# The manual pages render without a single groff warning, and archiver.1
# describes every option of the usage text, with an argument wherever the
# usage text gives one. Exit 77 (skipped) without groff.
set -euo pipefail
archiver=$1
docs=$2
if ! command -v groff >/dev/null; then
  echo "SKIPPED: groff is not installed (apt-get install groff)"
  exit 77
fi
failed=0

for page in "$docs"/archiver.1 "$docs"/attfix.1; do
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "FAIL: $page renders with warnings:"
    echo "$warnings"
    failed=1
  fi
done

# The option tags of archiver.1: the line after each .TP of its OPTIONS
# section, without macro, quotes and font changes ("/p directory", "/N").
tags=$(awk '/^\.SH /{ options = ($2 == "OPTIONS") } options && previous == ".TP" { print } { previous = $0 }' \
  "$docs/archiver.1" | sed 's/^\.[A-Z]* //; s/\\f[A-Z]//g; s/"//g; s/\\-/-/g; s/  */ /g')
# The option rows of the usage text: four blanks, "/", the letter, and the
# argument words up to the gap before the next column ("/i  [option]" has
# two blanks inside). Without a console it does not wait at its prompts,
# which are erased with backspaces at the start of the next page.
rows=$("$archiver" -? </dev/null 2>/dev/null |
  sed 's/Press space to continue:\(\x08 \x08\)*//' |
  sed -n 's|^    /\([^ ]\)\(\( \{1,2\}[^ ]\{1,\}\)*\).*$|\1\2|p') || true
if [ -z "$rows" ]; then
  echo "FAIL: no option rows found in the usage text of $archiver"
  exit 1
fi
while read -r letter argument; do
  if ! grep -q "^/$letter\( \|$\)" <<<"$tags"; then
    echo "FAIL: option /$letter of the usage text is not described in archiver.1"
    failed=1
  elif [ -n "$argument" ] && ! grep -q "^/$letter ." <<<"$tags"; then
    echo "FAIL: option /$letter takes \"$argument\" in the usage text, but archiver.1 shows no argument"
    failed=1
  fi
done <<<"$rows"
[ "$failed" -eq 0 ] && echo "Manual pages render cleanly; archiver.1 describes all $(wc -l <<<"$rows") option rows of the usage text."
exit "$failed"
