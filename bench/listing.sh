#!/usr/bin/env bash
# The listing job (/L) over many archives against unzip printing their
# indexes, which is the floor: every backup.bag has to come out of its
# archive, and that is unzip's work.
#
#   bench/listing.sh [ARCHIVER...] [--archives N] [--messages M] [--rounds R] [--smoke] [--keep]
#
# Makes N archives (default 20) of M messages each (default 5,000) with the
# archive job of the first ARCHIVER (default build/archiver), each from its
# own generated store, in archives/ of one main directory. Then, round after
# round, times
#   unzip:   sh -c 'for f in archives/*.zip; do unzip -p "$f" backup.bag; done'
#   listing: archiver /L /c none "archives/*.zip"   (for each ARCHIVER in turn)
# all writing to /dev/null, and checks that each gives one line per
# message. Prints the medians and their ratios (goal: at most 1.3).
# --smoke: 3 archives of 50 messages, one round; only checks that it runs.
# --keep: leave the work directory (BENCH_WORK, default $TMPDIR/velmor-listing).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
builds=()
archives=20 messages=5000 rounds=7 keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --archives) archives=$2; shift ;;
    --messages) messages=$2; shift ;;
    --rounds) rounds=$2; shift ;;
    --smoke) archives=3 messages=50 rounds=1 ;;
    --keep) keep=1 ;;
    --*) echo "listing.sh: unknown option $1" >&2; exit 2 ;;
    *) builds+=("$1") ;;
  esac
  shift
done
[ ${#builds[@]} -gt 0 ] || builds=("$(dirname "$here")/build/archiver")
for i in "${!builds[@]}"; do
  case "${builds[$i]}" in /*) ;; *) builds[$i]=$(pwd)/${builds[$i]} ;; esac
  [ -x "${builds[$i]}" ] || { echo "listing.sh: no archiver at ${builds[$i]}" >&2; exit 1; }
done
archiver=${builds[0]}
. "$here/lib.sh"
build_tools
work=${BENCH_WORK:-${TMPDIR:-/tmp}/velmor-listing}
rm -rf "$work"
mkdir -p "$work/main/archives" "$work/stats"
[ "$keep" = 1 ] || trap 'rm -rf "$work"' EXIT
echo placeholder >"$work/main/velmor.exe"

fail() { echo "listing.sh: $*" >&2; exit 1; }

echo "== making $archives archives of $messages messages" >&2
for i in $(seq -w 1 "$archives"); do
  store=$work/store/velmor
  rm -rf "$work/store"
  "$tools/gen_store" --out "$store" --seed "$i" --messages "$messages" --accounts 2 --folders 8 >/dev/null
  (cd "$store" && "$archiver" /c none >/dev/null 2>&1) || fail "the archive job failed on store $i"
  mv "$store/ARCHIV00.zip" "$work/main/archives/2026-01-$i-00.zip"
done
rm -rf "$work/store"
total=$((archives * messages))

timed() {  # timed NAME OUTPUT COMMAND...: one run in the main directory
  local name=$1 output=$2
  shift 2
  (cd "$work/main" && "$tools/runstat" "$work/stats/$name.txt" "$@" </dev/null >"$output" 2>"$work/$name.err") ||
    case "$name" in *listing*) fail "$name ended with status $? ($(head -c 300 "$work/$name.err"))" ;; esac
}

# What each gives, checked once: one line per message.
timed check-unzip "$work/unzip.out" sh -c 'for f in archives/*.zip; do unzip -p "$f" backup.bag; done'
[ "$(wc -l <"$work/unzip.out")" = "$total" ] || fail "unzip printed $(wc -l <"$work/unzip.out") index lines, expected $total"
for i in "${!builds[@]}"; do
  timed "check-listing-$i" "$work/listing.out" "${builds[$i]}" /L /c none "archives/*.zip"
  [ "$(grep -c $'\t' "$work/listing.out")" = "$total" ] ||
    fail "${builds[$i]} listed $(grep -c $'\t' "$work/listing.out") lines, expected $total"
done

for r in $(seq 1 "$rounds"); do
  timed unzip /dev/null sh -c 'for f in archives/*.zip; do unzip -p "$f" backup.bag; done'
  for i in "${!builds[@]}"; do timed "listing-$i" /dev/null "${builds[$i]}" /L /c none "archives/*.zip"; done
done

unzip_s=$(median "$work/stats/unzip.txt" 3)
echo "$archives archives of $messages messages ($(du -sh "$work/main/archives" | cut -f1)), $rounds rounds, medians in seconds"
printf '%-40s %8s\n' "unzip -p of every backup.bag" "$unzip_s"
for i in "${!builds[@]}"; do
  listing_s=$(median "$work/stats/listing-$i.txt" 3)
  peak=$(grep -o 'maxrss_kb=[0-9]*' "$work/stats/listing-$i.txt" | cut -d= -f2 | sort -n | tail -n 1)
  printf '%-40s %8s   / unzip %s   peak %d MB\n' "/L of ${builds[$i]}" "$listing_s" \
    "$(awk -v a="$listing_s" -v b="$unzip_s" 'BEGIN { r = a / b; printf "%.2f (goal <= 1.3: %s)", r, (r <= 1.3 ? "met" : "MISSED") }')" \
    $((peak / 1024))
done
