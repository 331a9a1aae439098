#!/usr/bin/env bash
# Before-and-after figures of the reading steps: two builds of the archiver
# run in turn on one generated store, so that both meet the same machine.
#
#   bench/compare.sh OLD_ARCHIVER NEW_ARCHIVER [--messages N] [--rounds R] [--cold]
#
# Each round runs, for each build, the baseline, a reindex (/I) and a scan
# (/V 3); both leave the store as they found it, so the rounds share one
# store. --cold drops the page cache before every timed step (root only).
# Prints the median wall time and the largest resident set of each step.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# The steps run inside the store: the builds are named by absolute paths.
old=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
new=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
shift 2
messages=100000 rounds=5 cold=0
while [ $# -gt 0 ]; do
  case "$1" in
    --messages) messages=$2; shift ;;
    --rounds) rounds=$2; shift ;;
    --cold) cold=1 ;;
    *) echo "compare.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
. "$here/lib.sh"
build_tools
work=${BENCH_WORK:-${TMPDIR:-/tmp}/velmor-compare}
rm -rf "$work"
mkdir -p "$work/stats"
trap 'rm -rf "$work"' EXIT
"$tools/gen_store" --out "$work/velmor" --expected "$work/expected" --summary "$work/summary" --seed 1 \
  --messages "$messages" --accounts 5 --folders 60 >/dev/null

step() {  # step NAME COMMAND...: one timed run in the store
  local name=$1
  shift
  if [ "$cold" = 1 ]; then sync; echo 3 >/proc/sys/vm/drop_caches; fi
  (cd "$work/velmor" && "$tools/runstat" "$work/stats/$name.txt" "$@" </dev/null >/dev/null 2>&1) ||
    { echo "compare.sh: $name failed" >&2; exit 1; }
}
for r in $(seq 1 "$rounds"); do
  for build in old new; do
    bin=$old; [ "$build" = new ] && bin=$new
    step "$build-baseline" "$tools/baseline" .
    step "$build-reindex" "$bin" /I
    step "$build-scan" "$bin" /V 3
  done
done
"$tools/check_bags" "$work/expected" "$work/velmor" >/dev/null || { echo "compare.sh: indexes differ from the expected ones" >&2; exit 1; }

peak() { grep -o 'maxrss_kb=[0-9]*' "$1" | cut -d= -f2 | sort -n | tail -n 1 | awk '{printf "%.1f", $1/1024}'; }
mode=warm; [ "$cold" = 0 ] || mode=cold
echo "$messages messages, $rounds rounds, $mode page cache"
printf '%-10s %10s %10s %9s %12s %12s\n' step "old s" "new s" "new/old" "old peak MB" "new peak MB"
for s in baseline reindex scan; do
  o=$(median "$work/stats/old-$s.txt" 3) n=$(median "$work/stats/new-$s.txt" 3)
  printf '%-10s %10s %10s %9s %12s %12s\n' "$s" "$o" "$n" "$(awk -v a="$n" -v b="$o" 'BEGIN {printf "%.2f", a/b}')" \
    "$(peak "$work/stats/old-$s.txt")" "$(peak "$work/stats/new-$s.txt")"
done
