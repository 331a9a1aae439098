#!/usr/bin/env bash
# Benchmarks the archiver on a generated store; see bench/README.md.
#
#   bench/run.sh [--smoke] [--archiver PATH] [--work DIR] [--messages N]
#                [--accounts A] [--folders F] [--reps R] [--scale "K1 K2"]
#                [--scale-reps R] [--unindexed PCT] [--seed S]
#                [--only main|scale|read] [--cold] [--keep]
#
# Every option has an environment twin (BENCH_ARCHIVER, BENCH_WORK,
# BENCH_MESSAGES, ...); a flag wins over the environment. Every run works on a
# fresh copy of the generated store and checks what the archiver left behind,
# so a broken job fails the script instead of producing a fast figure.
# --only read times the reading steps alone (baseline, reindex, scan);
# --cold drops the page cache before every timed step (root only), as a
# scheduled run meets the store.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")

archiver=${BENCH_ARCHIVER:-$repo/build/archiver}
work=${BENCH_WORK:-${TMPDIR:-/tmp}/velmor-bench}
tools=${BENCH_BUILD:-$repo/build-bench}
messages=${BENCH_MESSAGES:-100000}
accounts=${BENCH_ACCOUNTS:-5}
folders=${BENCH_FOLDERS:-60}
reps=${BENCH_REPS:-3}
scale=${BENCH_SCALE:-"2000 20000"}
scale_reps=${BENCH_SCALE_REPS:-5}
unindexed=${BENCH_UNINDEXED:-0}
seed=${BENCH_SEED:-1}
only=${BENCH_ONLY:-}
smoke=0
keep=0
cold=${BENCH_COLD:-0}

usage() { sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit "${1:-2}"; }

while [ $# -gt 0 ]; do
  case "$1" in
    --smoke) smoke=1 ;;
    --archiver) archiver=$2; shift ;;
    --work) work=$2; shift ;;
    --messages) messages=$2; shift ;;
    --accounts) accounts=$2; shift ;;
    --folders) folders=$2; shift ;;
    --reps) reps=$2; shift ;;
    --scale) scale=$2; shift ;;
    --scale-reps) scale_reps=$2; shift ;;
    --unindexed) unindexed=$2; shift ;;
    --seed) seed=$2; shift ;;
    --only) only=$2; shift ;;
    --keep) keep=1 ;;
    --cold) cold=1 ;;
    -h|--help) usage 0 ;;
    *) echo "run.sh: unknown option $1" >&2; usage ;;
  esac
  shift
done
if [ "$smoke" = 1 ]; then
  # Tiny sizes: proves that generator, tools, script and jobs still fit together.
  messages=300 accounts=2 folders=12 reps=1 scale="50 200" scale_reps=1 unindexed=5
  work=${BENCH_WORK:-${TMPDIR:-/tmp}/velmor-bench-smoke}
fi
case "$only" in ""|main|scale|read) ;; *) echo "run.sh: --only takes main, scale or read" >&2; exit 2 ;; esac

fail() { echo "run.sh: $*" >&2; exit 1; }

# ---------------------------------------------------------------- set-up
case "$archiver" in /*) ;; *) archiver=$(pwd)/$archiver ;; esac
if [ "$cold" = 1 ]; then
  { sync && echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null || fail "--cold needs root and a writable /proc/sys/vm/drop_caches"
fi
[ -x "$archiver" ] || fail "no archiver at $archiver (build it with scripts/build.sh plain, or pass --archiver)"
command -v zip >/dev/null || fail "zip is not on PATH"
command -v unzip >/dev/null || fail "unzip is not on PATH"

echo "== building the benchmark tools in $tools"
cmake -S "$here" -B "$tools" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$tools" -j"$(nproc)" >/dev/null

rm -rf "$work"
mkdir -p "$work/stats" "$work/logs"
[ "$keep" = 1 ] || trap 'rm -rf "$work"' EXIT

# stat NAME: the file that collects the runs of one step, one line per run.
statfile() { echo "$work/stats/$1.txt"; }

# timed NAME DIR INPUT COMMAND...: runs COMMAND in DIR with INPUT as standard
# input, appending its time and peak memory to the step's file.
timed() {
  local name=$1 dir=$2 input=$3 status=0
  shift 3
  if [ "$cold" = 1 ]; then sync; echo 3 >/proc/sys/vm/drop_caches; fi
  (cd "$dir" && "$tools/runstat" "$(statfile "$name")" "$@" <"$input" >"$work/logs/$name.log" 2>&1) || status=$?
  [ "$status" = 0 ] || { tail -n 20 "$work/logs/$name.log" >&2; fail "$name ended with status $status (log: $work/logs/$name.log)"; }
}

# fresh MASTER: replaces $work/run with a copy of a generated store.
fresh() { rm -rf "$work/run"; cp -a "$1" "$work/run"; }

summary_value() { sed -n "s/^$2=//p" "$1"; }
count_msgs() { find "$1" -type f -iname '*.msg' | wc -l; }

generate() {  # generate DIR ARGS...: a store in DIR/master, expectations in DIR/expected
  local dir=$1
  shift
  "$tools/gen_store" --out "$dir/master/velmor" --expected "$dir/expected" --summary "$dir/summary" --seed "$seed" "$@"
}

baseline_run() {  # baseline_run NAME STORE EXPECTED_COUNT
  timed "$1" "$2" /dev/null "$tools/baseline" .
  grep -q "^baseline: $3 messages," "$work/logs/$1.log" || fail "$1 read $(cat "$work/logs/$1.log"), expected $3 messages"
}

check_reindex() {  # check_reindex STORE EXPECTED_DIR
  [ ! -e "$1/archive.tmp" ] || fail "reindex left archive.tmp"
  "$tools/check_bags" "$2" "$1" >"$work/logs/check_bags.log" 2>&1 || { cat "$work/logs/check_bags.log" >&2; fail "reindex left other indexes than expected"; }
}

check_zip() {  # check_zip ZIP COUNT
  [ -f "$1" ] || fail "no archive $1"
  local n
  n=$(unzip -Z1 "$1" | wc -l)
  [ "$n" = "$2" ] || fail "$1 holds $n members, expected $2"
}

median() {  # median NAME: median wall time of a step, in seconds
  grep -o 'wall=[0-9.]*' "$(statfile "$1")" | cut -d= -f2 | sort -n |
    awk '{v[NR]=$1} END {if (NR==0) exit 1; if (NR%2) printf "%.3f", v[(NR+1)/2]; else printf "%.3f", (v[NR/2]+v[NR/2+1])/2}'
}
peak_mb() {  # peak_mb NAME: largest resident set of any run of a step, in MB
  grep -o 'maxrss_kb=[0-9]*' "$(statfile "$1")" | cut -d= -f2 | sort -n | tail -n 1 | awk '{printf "%.1f", $1/1024}'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a/b; else print "n/a" }'; }

# ---------------------------------------------------------------- main store
run_main() {
  echo "== generating $messages messages over $accounts accounts and $folders folders (seed $seed)"
  local start end
  start=$(date +%s.%N)
  generate "$work/main" --messages "$messages" --accounts "$accounts" --folders "$folders" \
    --unindexed "$unindexed" --addr-book
  end=$(date +%s.%N)
  gen_seconds=$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.1f", b-a}')
  local sum=$work/main/summary master=$work/main/master store=$work/run/velmor
  local n nf na
  n=$(summary_value "$sum" messages) nf=$(summary_value "$sum" folders) na=$(summary_value "$sum" accounts)
  main_bytes=$(summary_value "$sum" bytes)

  for rep in $(seq 1 "$reps"); do
    echo "== run $rep of $reps: reindex, scan, archive job, zip alone"
    fresh "$master"
    baseline_run baseline "$store" "$n"
    timed reindex "$store" /dev/null "$archiver" /I
    check_reindex "$store" "$work/main/expected"

    fresh "$master"
    baseline_run baseline "$store" "$n"
    timed scan "$store" /dev/null "$archiver" /V 3
    [ -f "$store/archive.tmp" ] || fail "/V 3 left no archive.tmp"
    local listed
    listed=$(grep -ci '\.msg$' "$store/archive.tmp" || true)
    [ "$listed" = "$n" ] || fail "/V 3 listed $listed messages, expected $n"
    [ ! -e "$store/ARCHIV00.zip" ] || fail "/V 3 wrote an archive"
    cp "$store/archive.tmp" "$work/list.txt"
    [ "$only" != read ] || continue

    fresh "$master"
    baseline_run baseline "$store" "$n"
    timed archive "$store" /dev/null "$archiver"
    check_zip "$store/ARCHIV00.zip" $((n + nf + na + 1))  # messages, folder.ini, acct.ini, backup.bag
    [ ! -e "$store/archive.tmp" ] && [ ! -e "$store/backup.bag" ] || fail "the archive job left its list or backup.bag"
    [ "$(count_msgs "$store")" = "$n" ] || fail "the archive job without /N removed messages"

    fresh "$master"
    baseline_run baseline "$store" "$n"
    timed zip "$store" "$work/list.txt" zip -q -9 -@ "$work/run/out.zip"
    check_zip "$work/run/out.zip" $((n + nf + na))
  done
}

# ---------------------------------------------------------------- scaling
run_scale() {
  for k in $scale; do
    echo "== scaling: one folder of $k messages, reindex and archive with delete"
    generate "$work/scale$k" --messages 0 --accounts 1 --folders 0 --big-folder "$k" --unindexed "$unindexed"
    local master=$work/scale$k/master store=$work/run/velmor
    for rep in $(seq 1 "$scale_reps"); do
      fresh "$master"
      baseline_run "baseline_$k" "$store" "$k"
      timed "reindex_$k" "$store" /dev/null "$archiver" /I
      check_reindex "$store" "$work/scale$k/expected"

      fresh "$master"
      timed "archive_delete_$k" "$store" /dev/null "$archiver" /N
      check_zip "$store/ARCHIV00.zip" $((k + 3))  # messages, folder.ini, acct.ini, backup.bag
      [ "$(count_msgs "$store")" = 0 ] || fail "archive /N left messages behind"
      local bag
      bag=$(find "$store" -name folder.bag)
      [ -f "$bag" ] && [ ! -s "$bag" ] || fail "archive /N left a non-empty or no folder.bag"
    done
  done
}

gen_seconds="" main_bytes=""
[ "$only" = scale ] || run_main
[ "$only" = main ] || [ "$only" = read ] || run_scale

# ---------------------------------------------------------------- report
goal() {  # goal VALUE LIMIT: whether a ratio meets its goal
  [ "$smoke" = 0 ] || { echo "(smoke)"; return; }
  awk -v v="$1" -v l="$2" 'BEGIN { if (v == "n/a") print "-"; else if (v + 0 <= l + 0) print "met"; else print "MISSED" }'
}
row() { printf '%-40s %10s %10s\n' "$@"; }

echo
if [ "$smoke" = 1 ]; then
  echo "== smoke run finished: every step ran and left the store as expected (the figures mean nothing at this size)"
fi
cache="warm page cache"; [ "$cold" = 0 ] || cache="page cache dropped before every step"
echo "== results (median of the runs, $cache; peak = largest resident set of one process)"
if [ "$only" != scale ]; then
  echo "store: $messages messages, $folders folders, $accounts accounts, $((main_bytes / 1048576)) MB; generated in ${gen_seconds}s; $reps runs each"
  row "step" "median s" "peak MB"
  steps="baseline reindex scan archive zip"; [ "$only" != read ] || steps="baseline reindex scan"
  for s in $steps; do row "$s" "$(median $s)" "$(peak_mb $s)"; done
fi
if [ "$only" != main ] && [ "$only" != read ]; then
  for k in $scale; do
    for s in baseline_$k reindex_$k archive_delete_$k; do row "$s" "$(median "$s")" "$(peak_mb "$s")"; done
  done
fi
echo
row "ratio" "value" "goal"
if [ "$only" != scale ]; then
  b=$(median baseline)
  r=$(ratio "$(median reindex)" "$b"); row "reindex / baseline" "$r" "<= 1.5 $(goal "$r" 1.5)"
  r=$(ratio "$(median scan)" "$b"); row "scan (/V 3) / baseline" "$r" "<= 1.5 $(goal "$r" 1.5)"
  [ "$only" = read ] || { r=$(ratio "$(median archive)" "$(median zip)"); row "archive job / zip alone" "$r" "<= 1.15 $(goal "$r" 1.15)"; }
  p=$(peak_mb reindex); row "reindex peak memory (MB)" "$p" "< 200 $(goal "$p" 199.99)"
fi
if [ "$only" != main ] && [ "$only" != read ]; then
  set -- $scale
  small=$1 large=${!#}
  if [ "$small" != "$large" ]; then
    for s in reindex archive_delete; do
      cs=$(awk -v t="$(median "${s}_$small")" -v n="$small" 'BEGIN {print t/n}')
      cl=$(awk -v t="$(median "${s}_$large")" -v n="$large" 'BEGIN {print t/n}')
      r=$(ratio "$cl" "$cs")
      row "$s per message, $large vs $small" "$r" "<= 1.3 $(goal "$r" 1.3)"
    done
  fi
fi
