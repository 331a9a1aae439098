#!/usr/bin/env bash
# The archive job with delete (/N) against zip alone on the same files, for
# one or more builds of the archiver, run in turn on fresh copies of one
# generated store, so that all meet the same machine and disk.
#
#   bench/delete.sh ARCHIVER... [--messages N] [--rounds R] [--cold]
#
# Each round runs zip alone (`zip -q -9 -@` with the list of a /V 3 run),
# the first build's archive job without delete, and every build's /N, each
# on its own copy of the store (copied and synced before the timing starts).
# Every /N must leave no message behind. --cold drops the page cache after
# each copy (root only), as a scheduled run meets the store. Prints the median wall time of each
# step and its ratio to zip alone.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
builds=()
messages=100000 rounds=3 cold=0
while [ $# -gt 0 ]; do
  case "$1" in
    --messages) messages=$2; shift ;;
    --rounds) rounds=$2; shift ;;
    --cold) cold=1 ;;
    --*) echo "delete.sh: unknown option $1" >&2; exit 2 ;;
    *) builds+=("$(cd "$(dirname "$1")" && pwd)/$(basename "$1")") ;;
  esac
  shift
done
[ ${#builds[@]} -gt 0 ] || { echo "usage: delete.sh ARCHIVER... [--messages N] [--rounds R] [--cold]" >&2; exit 2; }
. "$here/lib.sh"
build_tools
work=${BENCH_WORK:-${TMPDIR:-/tmp}/velmor-delete}
rm -rf "$work"
mkdir -p "$work/stats"
trap 'rm -rf "$work"' EXIT
"$tools/gen_store" --out "$work/master/velmor" --summary "$work/summary" --seed 1 \
  --messages "$messages" --accounts 5 --folders 60 >/dev/null

fresh() {  # a synced copy of the store in $work/run
  rm -rf "$work/run"
  cp -a "$work/master" "$work/run"
  sync
  if [ "$cold" = 1 ]; then echo 3 >/proc/sys/vm/drop_caches; fi
}
timed() {  # timed NAME COMMAND...: one run in the copy
  local name=$1
  shift
  (cd "$work/run/velmor" && "$tools/runstat" "$work/stats/$name.txt" "$@" </dev/null >"$work/$name.log" 2>&1) ||
    { echo "delete.sh: $name failed (see $work/$name.log)" >&2; exit 1; }
}

# The list zip alone gets: what the archive job hands zip, without backup.bag.
fresh
(cd "$work/run/velmor" && "${builds[0]}" /V 3 </dev/null >/dev/null 2>&1) || true
grep -v 'backup\.bag' "$work/run/velmor/archive.tmp" >"$work/list"
[ -s "$work/list" ] || { echo "delete.sh: the scan listed nothing" >&2; exit 1; }

for r in $(seq 1 "$rounds"); do
  fresh
  timed zip sh -c "zip -q -9 -@ '$work/zip-alone.zip' < '$work/list'"
  rm -f "$work/zip-alone.zip"
  fresh
  timed job "${builds[0]}"
  for i in "${!builds[@]}"; do
    fresh
    timed "delete-$i" "${builds[$i]}" /N
    left=$(find "$work/run/velmor" -name '*.msg' | wc -l)
    [ "$left" = 0 ] || { echo "delete.sh: ${builds[$i]} /N left $left messages" >&2; exit 1; }
  done
  echo "round $r of $rounds done" >&2
done

range() { grep -o 'wall=[0-9.]*' "$1" | cut -d= -f2 | sort -n | awk 'NR==1{a=$1} {b=$1} END {printf "%.2f-%.2f", a, b}'; }
zip=$(median "$work/stats/zip.txt" 2)
mode=warm; [ "$cold" = 0 ] || mode=cold
echo "$messages messages ($(du -sh "$work/master" | cut -f1)), $rounds rounds, $mode page cache, medians in seconds"
printf '%-28s %8s %14s %8s\n' step median range "/ zip"
show() {
  local m
  m=$(median "$work/stats/$2.txt" 2)
  printf '%-28s %8s %14s %8s\n' "$1" "$m" "$(range "$work/stats/$2.txt")" "$(awk -v a="$m" -v b="$zip" 'BEGIN {printf "%.2f", a/b}')"
}
show "zip alone" zip
show "archive job, no delete" job
for i in "${!builds[@]}"; do show "/N $(basename "${builds[$i]}")" "delete-$i"; done
