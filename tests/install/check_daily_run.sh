#!/usr/bin/env bash
# check_daily_run.sh <archiver> <docs dir> <examples dir>
# The daily run as shipped: systemd-analyze verify accepts the service and
# the timer (skipped with a message where it is missing or cannot run), and
# the command of the crontab line and of the service, run as written (with
# the built archiver in place of /usr/bin/archiver) in a copy of the sample
# store with the example archive.cfg, archive on the archive day into
# archives/<day>-00.zip (also when every numbered ARCHIV??.zip is taken),
# which a listing of archives/*.zip then searches, leave a report of the
# day, and only leave a report on the other days.
set -euo pipefail
archiver=$1
docs=$2
examples=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/daily-run-XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# --- the unit files ---------------------------------------------------------
if ! command -v systemd-analyze >/dev/null; then
  echo "SKIPPED: systemd-analyze verify (systemd-analyze is not installed)"
else
  # Documentation=man:archiver(1) is checked too, so the pages are put
  # where man finds them; a user manager needs a runtime directory.
  mkdir -p "$work/man/man1" "$work/runtime"
  cp "$docs"/*.1 "$work/man/man1/"
  status=0
  output=$(MANPATH="$work/man" XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user verify \
    "$docs/velmor-archiver.service" "$docs/velmor-archiver.timer" 2>&1) || status=$?
  if grep -q 'Failed to initialize manager\|Failed to lookup RuntimeDirectory' <<<"$output"; then
    echo "SKIPPED: systemd-analyze verify cannot run here: $output"
  elif [ "$status" -ne 0 ] || [ -n "$output" ]; then
    fail "systemd-analyze verify: $output"
  else
    echo "systemd-analyze verify accepts the service and the timer."
  fi
fi

# --- the commands, run as the scheduler would run them ----------------------
# The store of the sample in $HOME/velmor, its messages old enough for the
# fileAge of the example configuration, which archives on `day`.
makeStore() {
  local home=$1 day=$2
  mkdir -p "$home"
  cp -r "$examples/store/." "$home/"
  find "$home/velmor" -name '*.msg' -exec touch -d 2019-01-01 {} +
  sed "s/^archiveDay .*/archiveDay $day/" "$examples/archive.cfg" >"$home/velmor/archive.cfg"
}
# cron ends the command at the first % that is not written \% (the rest
# becomes its input), and hands it to sh with each \% made a %.
cronCommand=$(grep -v '^#' "$docs/velmor-archiver.crontab" | grep . | cut -d' ' -f6- |
  sed 's/^%.*//; s/\([^\\]\)%.*/\1/; s/\\%/%/g')
serviceDirectory=$(sed -n 's/^WorkingDirectory=//p' "$docs/velmor-archiver.service")
serviceLine=$(sed -n 's/^ExecStart=//p' "$docs/velmor-archiver.service")
# systemd reads $$ as $ and %% as %; any other $ or % it would replace.
if sed 's/\$\$//g; s/%%//g' <<<"$serviceLine" | grep -q '[$%]'; then
  fail "ExecStart has a \$ or % that systemd would replace: $serviceLine"
fi
serviceCommand=$(sed 's/\$\$/$/g; s/%%/%/g' <<<"$serviceLine")
runScheduled() {  # runScheduled <home> <cron|service>
  local home=$1
  if [ "$2" = cron ]; then
    HOME="$home" sh -c "${cronCommand//\/usr\/bin\/archiver/$archiver}"
  else
    (cd "${serviceDirectory//%h/$home}" && sh -c "${serviceCommand//\/usr\/bin\/archiver/$archiver}" </dev/null >/dev/null)
  fi
}
today=$(date +%A)
other=$(date -d tomorrow +%A)
report="archiver-$(date +%Y-%m-%d)"
[ -n "$cronCommand" ] && [ -n "$serviceCommand" ] || fail "no command found in the crontab line or the service"

# On the archive day each of them archives into the archive of the day and
# deletes what it archived; the store of the crontab line has used up every
# numbered name, which the dated names never meet.
archive="archives/$(date +%Y-%m-%d)-00.zip"
for via in cron service; do
  makeStore "$work/$via" "$today"
  store="$work/$via/velmor"
  if [ "$via" = cron ]; then
    for n in $(seq -w 0 99); do echo "an old archive" >"$store/ARCHIV$n.zip"; done
  fi
  runScheduled "$work/$via" "$via" || fail "the $via command ended with status $?"
  grep -q '^Velmor Archiver - mail store archiving utility$' "$store/$report-00.rpt" 2>/dev/null ||
    fail "$via: no report $report-00.rpt with the banner"
  members=$(unzip -Z1 "$store/$archive" 2>/dev/null | grep -ci '\.msg$' || true)
  [ "$members" -gt 0 ] || fail "$via: no $archive holding messages"
  [ ! -e "$store/ARCHIV00.zip" ] || [ "$via" = cron ] || fail "$via: a numbered archive was made"
  # The example configuration takes the Inbox folders and deletes.
  left=$(find "$store" -ipath '*inbox.fld/*.msg' | wc -l)
  [ "$left" -eq 0 ] || fail "$via: $left messages of the Inbox folders are still in the store"
  # The listing of every dated archive finds each archived message, once
  # (without the standing selections of archive.cfg, which a listing, like
  # a restore, would apply).
  status=0
  listed=$(cd "$store" && "$archiver" /L /c none 'archives/*.zip' 2>&1) || status=$?
  [ "$status" -eq 0 ] || fail "$via: /L archives/*.zip ended with status $status: $listed"
  lines=$(grep -c "^$archive"$'\t' <<<"$listed" || true)
  [ "$lines" -eq "$members" ] || fail "$via: /L listed $lines messages of $archive, which holds $members"
done

# On another day: status 0, a report saying so, nothing else changed; a
# second run of the day keeps its own report.
makeStore "$work/other" "$other"
files() { (cd "$work/other" && find . -type f ! -name "$report-*.rpt" | sort | xargs md5sum); }
before=$(files)
for n in 00 01; do
  runScheduled "$work/other" cron || fail "the crontab command on another day ended with status $?"
  grep -qx 'Today is not the specified archive day, exiting' "$work/other/velmor/$report-$n.rpt" 2>/dev/null ||
    fail "no report $report-$n.rpt saying that it is not the archive day"
done
[ "$before" = "$(files)" ] || fail "a run on another day changed the store"

[ "$failed" -eq 0 ] && echo "The crontab line and the service archive on the archive day and only report on the others."
exit "$failed"
