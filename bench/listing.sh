#!/usr/bin/env bash
# The listing job (/L) over many archives against unzip printing their
# indexes, which is the floor: every backup.bag has to come out of its
# archive, and that is unzip's work.
#
#   bench/listing.sh [ARCHIVER] [--archives N] [--messages M] [--rounds R] [--smoke] [--keep]
#
# Makes N archives (default 20) of M messages each (default 5,000) with the
# archive job itself, each from its own generated store, in archives/ of one
# main directory. Then, round after round, times
#   unzip:   sh -c 'for f in archives/*.zip; do unzip -p "$f" backup.bag; done'
#   listing: archiver /L /c none "archives/*.zip"
# both writing to /dev/null, and checks that each gives one line per
# message. Prints the medians and their ratio (goal: at most 1.3).
# --smoke: 3 archives of 50 messages, one round; only checks that it runs.
# --keep: leave the work directory (BENCH_WORK, default $TMPDIR/velmor-listing).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
archiver=$(dirname "$here")/build/archiver
archives=20 messages=5000 rounds=7 keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --archives) archives=$2; shift ;;
    --messages) messages=$2; shift ;;
    --rounds) rounds=$2; shift ;;
    --smoke) archives=3 messages=50 rounds=1 ;;
    --keep) keep=1 ;;
    --*) echo "listing.sh: unknown option $1" >&2; exit 2 ;;
    *) archiver=$1 ;;
  esac
  shift
done
case "$archiver" in /*) ;; *) archiver=$(pwd)/$archiver ;; esac
[ -x "$archiver" ] || { echo "listing.sh: no archiver at $archiver" >&2; exit 1; }
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
    [ "$name" != listing ] || fail "the listing ended with status $? ($(head -c 300 "$work/$name.err"))"
}

# What each gives, checked once: one line per message.
timed check-unzip "$work/unzip.out" sh -c 'for f in archives/*.zip; do unzip -p "$f" backup.bag; done'
timed check-listing "$work/listing.out" "$archiver" /L /c none "archives/*.zip"
[ "$(wc -l <"$work/unzip.out")" = "$total" ] || fail "unzip printed $(wc -l <"$work/unzip.out") index lines, expected $total"
[ "$(grep -c $'\t' "$work/listing.out")" = "$total" ] || fail "the listing printed $(grep -c $'\t' "$work/listing.out") lines, expected $total"
tail -n 1 "$work/listing.out" | grep -qx "Listed $total of $total message(s) in $archives archive(s)" ||
  fail "the listing ended with: $(tail -n 1 "$work/listing.out")"

for r in $(seq 1 "$rounds"); do
  timed unzip /dev/null sh -c 'for f in archives/*.zip; do unzip -p "$f" backup.bag; done'
  timed listing /dev/null "$archiver" /L /c none "archives/*.zip"
done

unzip_s=$(median "$work/stats/unzip.txt" 3)
listing_s=$(median "$work/stats/listing.txt" 3)
peak=$(grep -o 'maxrss_kb=[0-9]*' "$work/stats/listing.txt" | cut -d= -f2 | sort -n | tail -n 1)
echo "$archives archives of $messages messages ($(du -sh "$work/main/archives" | cut -f1)), $rounds rounds, medians in seconds"
printf '%-36s %8s\n' "unzip -p of every backup.bag" "$unzip_s"
printf '%-36s %8s   peak %d MB\n' "archiver /L" "$listing_s" $((peak / 1024))
awk -v a="$listing_s" -v b="$unzip_s" 'BEGIN { r = a / b; printf "listing / unzip: %.2f (goal <= 1.3: %s)\n", r, (r <= 1.3 ? "met" : "MISSED") }'
