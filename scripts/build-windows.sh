#!/usr/bin/env bash
# Cross builds archiver.exe and attfix.exe for 64-bit Windows into
# build-windows/ (statically linked: they need only the system's own DLLs),
# with the unit tests, which run under Wine through ctest:
#
#   scripts/build-windows.sh [target...]
#
# Installs the mingw-w64 compiler and Wine first when they are missing and
# the script runs as root or through sudo, as scripts/setup.sh does.
set -euo pipefail
cd "$(dirname "$0")/.."
# Without --no-install-recommends Wine pulls in a hundred desktop packages.
scripts/install-missing.sh --no-install-recommends \
  cmake make libgtest-dev g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 wine
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-windows -j"${ARCHIVER_JOBS:-$(nproc)}" "${targets[@]}"
