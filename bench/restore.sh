#!/usr/bin/env bash
# Restoring every message of an archive, for one or more builds of the
# archiver, against unzip extracting the same archive whole.
#
#   bench/restore.sh ARCHIVER... [--messages "N1 N2"] [--rounds R] [--memory N]
#   bench/restore.sh --smoke ARCHIVER...   # tiny sizes, a few seconds: what CI runs
#
# For each size a store of one account with four folders is generated and
# archived with delete (/N, by the first build): the emptied store and its
# archive are what every step starts from. Each round runs `unzip -qq -o` of
# the whole archive into an empty directory, then each build's `/r /o` on
# a fresh copy of the emptied store; every restore must bring back every
# message byte for byte and leave no staging folder. Prints the median wall
# time of each step, its ratio to unzip, the cost per message and its growth
# from the first size to the last. --memory N restores an archive of N
# messages once more with the last build and prints its peak resident set
# (0 skips it).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
builds=()
sizes="1000 20000" rounds=1 memory=100000
while [ $# -gt 0 ]; do
  case "$1" in
    --messages) sizes=$2; shift ;;
    --rounds) rounds=$2; shift ;;
    --memory) memory=$2; shift ;;
    --smoke) sizes="50 200" rounds=1 memory=0 ;;
    --*) echo "restore.sh: unknown option $1" >&2; exit 2 ;;
    *) builds+=("$(cd "$(dirname "$1")" && pwd)/$(basename "$1")") ;;
  esac
  shift
done
[ ${#builds[@]} -gt 0 ] || { echo "usage: restore.sh ARCHIVER... [--messages \"N1 N2\"] [--rounds R] [--memory N]" >&2; exit 2; }
. "$here/lib.sh"
build_tools
work=${BENCH_WORK:-${TMPDIR:-/tmp}/velmor-restore-$$}
rm -rf "$work"
mkdir -p "$work/stats"
trap 'rm -rf "$work"' EXIT

# prepare N: $work/N/master (the emptied store with ARCHIV00.zip beside
# velmor/) and $work/N/original (the store before the archive).
prepare() {
  local n=$1 dir=$work/$1
  "$tools/gen_store" --out "$dir/original/velmor" --seed 1 --messages "$n" --accounts 1 --folders 4 \
    --no-stale >/dev/null
  cp -a "$dir/original" "$dir/master"
  (cd "$dir/master/velmor" && "${builds[0]}" /N </dev/null >/dev/null 2>&1) ||
    { echo "restore.sh: the archive of $n messages failed" >&2; exit 1; }
  mv "$dir/master/velmor/ARCHIV00.zip" "$dir/master/archive.zip"
  [ "$(find "$dir/master/velmor" -name '*.msg' | wc -l)" = 0 ] ||
    { echo "restore.sh: /N left messages behind" >&2; exit 1; }
}
fresh() {  # a synced copy of the emptied store of size N in $work/run
  rm -rf "$work/run"
  cp -a "$work/$1/master" "$work/run"
  sync
}
timed() {  # timed NAME DIR COMMAND...: one run in DIR
  local name=$1 dir=$2
  shift 2
  (cd "$dir" && "$tools/runstat" "$work/stats/$name.txt" "$@" </dev/null >"$work/$name.log" 2>&1) ||
    { echo "restore.sh: $name failed (see $work/$name.log)" >&2; exit 1; }
}
check() {  # check N: every message back, byte for byte, no staging folder
  local n=$1 wrong
  wrong=$(cd "$work/$n/original/velmor" && find . -name '*.msg' | while read -r m; do
    cmp -s "$m" "$work/run/velmor/$m" || echo "$m"
  done | head -3)
  [ -z "$wrong" ] || { echo "restore.sh: not restored whole: $wrong" >&2; exit 1; }
  [ -z "$(find "$work/run" -name '.archiver-*')" ] || { echo "restore.sh: a staging folder is left" >&2; exit 1; }
}

for n in $sizes; do
  prepare "$n"
  for r in $(seq 1 "$rounds"); do
    fresh "$n"
    mkdir "$work/run/unzipped"
    timed "unzip-$n" "$work/run/unzipped" unzip -qq -o ../archive.zip
    for i in "${!builds[@]}"; do
      fresh "$n"
      timed "restore-$i-$n" "$work/run/velmor" "${builds[$i]}" /r /o ../archive.zip
      check "$n"
    done
    echo "$n messages: round $r of $rounds done" >&2
  done
done

echo "one account, four folders; $rounds round(s), warm page cache, medians in seconds"
printf '%-34s %9s %10s %9s %12s\n' step messages seconds "/ unzip" "ms/message"
first=${sizes%% *} last=${sizes##* }
for n in $sizes; do
  u=$(median "$work/stats/unzip-$n.txt" 3)
  printf '%-34s %9s %10s %9s %12s\n' "unzip -qq -o, whole archive" "$n" "$u" 1.00 \
    "$(awk -v a="$u" -v n="$n" 'BEGIN {printf "%.3f", a * 1000 / n}')"
  for i in "${!builds[@]}"; do
    m=$(median "$work/stats/restore-$i-$n.txt" 3)
    printf '%-34s %9s %10s %9s %12s\n' "/r /o $(basename "${builds[$i]}")" "$n" "$m" \
      "$(awk -v a="$m" -v b="$u" 'BEGIN {printf "%.2f", a / b}')" \
      "$(awk -v a="$m" -v n="$n" 'BEGIN {printf "%.3f", a * 1000 / n}')"
  done
done
if [ "$first" != "$last" ]; then
  for i in "${!builds[@]}"; do
    a=$(median "$work/stats/restore-$i-$first.txt" 6) b=$(median "$work/stats/restore-$i-$last.txt" 6)
    echo "per message, $last vs $first, $(basename "${builds[$i]}"): $(awk -v a="$a" -v b="$b" -v f="$first" -v l="$last" \
      'BEGIN {printf "%.2f", (b / l) / (a / f)}')"
  done
fi

if [ "$memory" != 0 ]; then
  prepare "$memory"
  fresh "$memory"
  timed "memory" "$work/run/velmor" "${builds[-1]}" /r /o ../archive.zip
  check "$memory"
  echo "peak memory, /r /o of $memory messages, $(basename "${builds[-1]}"): \
$(grep -o 'maxrss_kb=[0-9]*' "$work/stats/memory.txt" | cut -d= -f2 | awk '{printf "%.0f MB", $1 / 1024}'), \
$(median "$work/stats/memory.txt" 2) s"
fi
