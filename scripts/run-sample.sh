#!/usr/bin/env bash
# Sets up, builds, and runs an archive job on a copy of the bundled sample
# store: the messages dated before 2020 go into an archive and are deleted
# from the store, whose folder indexes are rewritten. The bundled files are
# never changed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh plain
work="$(mktemp -d "${TMPDIR:-/tmp}/velmor-sample-XXXXXX")"
cp -r examples/store/. "$work/"
echo "Sample store copied to $work"
cd "$work/velmor"
"$OLDPWD/build/archiver" /V 1 /D 2020/01/01 /N "$@"
echo
echo "The archive holds:"
unzip -l "$work"/velmor/ARCHIV00.zip
echo "The store is left in $work/velmor"
