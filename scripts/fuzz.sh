#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz/) with clang into build-fuzz/ and runs
# each for a bounded time: FUZZ_SECONDS per harness (default 30). Fails on
# any crash, leak, sanitizer report, time-out or failed property, and prints
# the executions per harness. FUZZ_ONLY="name ..." runs only those harnesses.
# A failing input is saved as build-fuzz/artifacts/<harness>-crash-<hash>;
# replay it with: build-fuzz/fuzz/<harness> <file>
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

packages=(clang libclang-rt-14-dev cmake make)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y "${packages[@]}"
fi

seconds="${FUZZ_SECONDS:-30}"
dir="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DARCHIVER_FUZZ=ON -DARCHIVER_TESTS=OFF >/dev/null
cmake --build "$dir" -j"$(nproc)"

harnesses=(${FUZZ_ONLY:-$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')})
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}"
mkdir -p "$dir/artifacts" "$dir/logs"
failed=()
summary=()
for h in "${harnesses[@]}"; do
  bin="$dir/fuzz/$h"
  log="$dir/logs/$h.log"
  # Inputs that once failed are replayed first, then the fuzzing starts from
  # the seeds plus what earlier local runs found (kept in build-fuzz only).
  if [ -d "$root/fuzz/regressions/$h" ] && [ -n "$(ls -A "$root/fuzz/regressions/$h")" ]; then
    echo "== $h: replaying fuzz/regressions/$h"
    if ! "$bin" -close_fd_mask=3 "$root/fuzz/regressions/$h"/* </dev/null >"$dir/logs/$h.replay.log" 2>&1; then
      echo "   FAILED (see $dir/logs/$h.replay.log)"
      failed+=("$h (regression)")
      continue
    fi
  fi
  work="$dir/corpus/$h"
  mkdir -p "$work"
  echo "== $h: fuzzing for ${seconds}s"
  status=0
  "$bin" "$work" "$root/fuzz/corpus/$h" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$dir/artifacts/$h-" \
    </dev/null >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  summary+=("$(printf '%-24s %12s executions' "$h" "${runs:-?}")")
  if [ "$status" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|property failed' "$log"; then
    echo "   FAILED with status $status (see $log)"
    grep -E 'ERROR:|runtime error:|property failed|Test unit written' "$log" | head -5 | sed 's/^/   /'
    failed+=("$h")
  fi
done

echo "== executions per harness (${seconds}s each)"
printf '%s\n' "${summary[@]}"
if [ "${#failed[@]}" -gt 0 ]; then
  echo "Fuzzing failed: ${failed[*]}" >&2
  exit 1
fi
echo "Fuzzing found nothing."
