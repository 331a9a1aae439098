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
# bookworm keeps wine64 out of PATH.
export PATH="/usr/lib/wine:$PATH"
export WINEPREFIX="$PWD/build-windows/wine"
export WINEDEBUG=-all
# No Mono or Gecko installer prompts: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== a Wine prefix in build-windows/wine =="
  wineboot -u >/dev/null 2>&1
  wineserver -w
fi
wineserver -p 2>/dev/null || true  # one may be running for this prefix already
trap 'wineserver -k || true' EXIT
# The first Wine program starts Wine's own background services, which inherit
# its standard output and hold it open until the server ends: a test listed
# through a pipe would then never seem to end. Start them here, on nothing.
wine64 cmd.exe /c exit </dev/null >/dev/null 2>&1
# The Windows programs find zip.exe and unzip.exe along WINEPATH.
export WINEPATH
WINEPATH="$(winepath -w "$PWD/build-windows/infozip")"
echo "== tests (Windows build, under Wine) =="
ctest --test-dir "${ARCHIVER_WINDOWS_BUILD:-build-windows}" --output-on-failure -j"${ARCHIVER_JOBS:-$(nproc)}" "$@" </dev/null
