#!/usr/bin/env bash
# Runs the unit tests of the Windows build (scripts/build-windows.sh) under
# Wine, with Info-ZIP's Windows programs (scripts/build-infozip-windows.sh)
# on the programs' PATH:
#
#   scripts/test-windows.sh [ctest option...]
#
# The Wine prefix lives in build-windows/wine; one wineserver is kept
# running for the whole run (a Wine start costs about 2 s without it,
# under 1 s with it) and stopped at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
wineStart "$PWD/build-windows/wine"
trap wineStop EXIT
# The Windows programs find zip.exe and unzip.exe along WINEPATH.
export WINEPATH
WINEPATH="$(winepath -w "$PWD/build-windows/infozip")"
echo "== tests (Windows build, under Wine) =="
ctest --test-dir "${ARCHIVER_WINDOWS_BUILD:-build-windows}" --output-on-failure -j"${ARCHIVER_JOBS:-$(nproc)}" "$@" </dev/null
