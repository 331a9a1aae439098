#!/usr/bin/env bash
# Builds into build/ (plain) or build-asan/ (address and undefined-behaviour
# sanitizers) with: scripts/build.sh [plain|asan]
set -euo pipefail
cd "$(dirname "$0")/.."
kind="${1:-plain}"
case "$kind" in
  plain) dir=build; flags=() ;;
  asan)  dir=build-asan; flags=(-DARCHIVER_SANITIZE=ON) ;;
  *) echo "usage: $0 [plain|asan]" >&2; exit 2 ;;
esac
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
