#!/usr/bin/env bash
# Sets up, builds and runs every test, in the plain and the sanitizer build,
# then the tests of the reading threads under the thread sanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
for kind in plain asan; do
  scripts/build.sh "$kind"
  dir=build; [ "$kind" = asan ] && dir=build-asan
  echo "== tests ($kind build) =="
  ASAN_OPTIONS=detect_leaks=1 ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" </dev/null
done
scripts/build.sh tsan store_folder_reader_test store_scan_test platform_file_start_test
echo "== tests of the reading threads (thread sanitizer build) =="
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -j"$(nproc)" \
  -R 'FolderReader|ListingsAhead|ScanTest|FileStart' </dev/null
echo "All tests passed."
