#!/usr/bin/env bash
# Sets up, builds and runs every test, in the plain build, the address and
# undefined-behaviour sanitizer build and the thread sanitizer build (every
# test, so that each one that starts a thread or a whole run is watched).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
for kind in plain asan; do
  scripts/build.sh "$kind"
  dir=build; [ "$kind" = asan ] && dir=build-asan
  echo "== tests ($kind build) =="
  ASAN_OPTIONS=detect_leaks=1 ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" </dev/null
done
scripts/build.sh tsan
echo "== tests (thread sanitizer build) =="
# A race reported in a run of the archiver ends that run with status 66,
# which the test sees. An interrupt ends the run at once from its handler,
# with the reading threads still there: by design, so no thread leak is
# reported.
TSAN_OPTIONS="halt_on_error=1 exitcode=66 report_thread_leaks=0" ctest --test-dir build-tsan --output-on-failure -j"$(nproc)" </dev/null
echo "All tests passed."
