#!/usr/bin/env bash
# Sets up, builds and runs every test, in the plain and the sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
for kind in plain asan; do
  scripts/build.sh "$kind"
  dir=build; [ "$kind" = asan ] && dir=build-asan
  echo "== tests ($kind build) =="
  ASAN_OPTIONS=detect_leaks=1 ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" </dev/null
done
echo "All tests passed."
