#!/usr/bin/env bash
# Builds into build/ (plain), build-asan/ (address and undefined-behaviour
# sanitizers) or build-tsan/ (thread sanitizer), all targets or the given ones, with:
# scripts/build.sh [plain|asan|tsan] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
kind="${1:-plain}"
case "$kind" in
  plain) dir=build; flags=() ;;
  asan)  dir=build-asan; flags=(-DARCHIVER_SANITIZE=ON) ;;
  tsan)  dir=build-tsan; flags=(-DARCHIVER_TSAN=ON) ;;
  *) echo "usage: $0 [plain|asan|tsan] [target...]" >&2; exit 2 ;;
esac
shift || true
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
