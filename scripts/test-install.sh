#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh, with lintian) and installs
# it on this machine as a user would: apt-get install ./velmor-archiver_*.deb,
# then archiver --version, man -w, an archive job on a copy of the sample
# store with the installed program, and apt-get remove. Runs as root (or
# through sudo); CI runs it after the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
apt=($sudo apt-get -o DPkg::Lock::Timeout=600)
if dpkg-query -W -f='${Status}' velmor-archiver 2>/dev/null | grep -q ' installed$'; then
  echo "velmor-archiver is installed already; remove it first (apt-get remove velmor-archiver)" >&2
  exit 1
fi

package=$(scripts/package.sh | tail -1)
version=$(dpkg-deb -f "$package" Version)
work=$(mktemp -d "${TMPDIR:-/tmp}/velmor-install-XXXXXX")
installed=0
cleanUp() {
  [ "$installed" -eq 1 ] && "${apt[@]}" remove -y velmor-archiver >/dev/null
  rm -rf "$work"
}
trap cleanUp EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# Slim images tell dpkg to drop manual pages and documents (path-exclude in
# /etc/dpkg/dpkg.cfg.d); this package's are kept so that they can be checked.
dpkgOptions=()
if grep -qs '^path-exclude=/usr/share/\(man\|doc\)' /etc/dpkg/dpkg.cfg.d/*; then
  echo "dpkg is set to drop manual pages or documents here; those of velmor-archiver are kept"
  for keep in /usr/share/man/man1/archiver.1.gz /usr/share/man/man1/attfix.1.gz '/usr/share/doc/velmor-archiver/*'; do
    dpkgOptions+=(-o "Dpkg::Options::=--path-include=$keep")
  done
fi
echo "== apt-get install ./$package"
"${apt[@]}" install -y "${dpkgOptions[@]}" "./$package"
installed=1

echo "== the installed programs"
[ "$(command -v archiver)" = /usr/bin/archiver ] || fail "archiver on PATH is $(command -v archiver || echo nothing)"
[ "$(command -v attfix)" = /usr/bin/attfix ] || fail "attfix on PATH is $(command -v attfix || echo nothing)"
expected="Velmor Archiver - mail store archiving utility
Version $version\\W  built: Jul 14 1998  11:39:10"
shown=$(cd "$work" && archiver --version) || fail "archiver --version ended with status $?"
[ "$shown" = "$expected" ] || fail "archiver --version shows: $shown"
shown=$(cd "$work" && attfix --version) || fail "attfix --version ended with status $?"
[ "$shown" = "$expected" ] || fail "attfix --version shows: $shown"
echo "$shown"

echo "== the manual pages"
for page in archiver attfix; do
  where=$(man -w "$page") || fail "man -w $page finds nothing"
  [ "$where" = "/usr/share/man/man1/$page.1.gz" ] || fail "man -w $page gives $where"
  echo "$where"
  man -P cat "$page" 2>/dev/null | grep -q '^SYNOPSIS' || fail "man $page shows no page"
done

echo "== the files of the package"
unexpected=$(dpkg -L velmor-archiver | grep -v -x -e '/\.' -e '/usr' -e '/usr/bin' -e '/usr/bin/archiver' \
  -e '/usr/bin/attfix' -e '/usr/share' -e '/usr/share/man' -e '/usr/share/man/man1' \
  -e '/usr/share/man/man1/\(archiver\|attfix\)\.1\.gz' -e '/usr/share/doc' -e '/usr/share/doc/velmor-archiver.*' || true)
[ -z "$unexpected" ] || fail "the package installs more than the programs, pages and documents: $unexpected"
for doc in README.md guarantees.md archive.cfg changelog.gz copyright \
  examples/velmor-archiver.service examples/velmor-archiver.timer examples/velmor-archiver.crontab; do
  [ -f "/usr/share/doc/velmor-archiver/$doc" ] || fail "/usr/share/doc/velmor-archiver/$doc is missing"
done

echo "== systemd-analyze verify of the installed units"
if command -v systemd-analyze >/dev/null; then
  mkdir -p "$work/runtime"
  if output=$(XDG_RUNTIME_DIR="$work/runtime" systemd-analyze --user verify \
    /usr/share/doc/velmor-archiver/examples/velmor-archiver.{service,timer} 2>&1); then
    echo "accepted"
  elif grep -q 'Failed to initialize manager\|Failed to lookup RuntimeDirectory' <<<"$output"; then
    echo "SKIPPED: systemd-analyze verify cannot run here: $output"
  else
    fail "systemd-analyze verify: $output"
  fi
else
  echo "SKIPPED: systemd-analyze is not installed"
fi

echo "== an archive job on a copy of the sample store with the installed archiver"
cp -r examples/store/. "$work/"
before=$(find "$work/velmor" -iname '*.msg' | wc -l)
(cd "$work/velmor" && archiver /V 1 /D 2020/01/01 /N </dev/null) || fail "the archive job ended with status $?"
archived=$(unzip -Z1 "$work/velmor/ARCHIV00.zip" 2>/dev/null | grep -ci '\.msg$' || true)
after=$(find "$work/velmor" -iname '*.msg' | wc -l)
unzip -Z1 "$work/velmor/ARCHIV00.zip" 2>/dev/null | grep -qx backup.bag || fail "ARCHIV00.zip holds no backup.bag"
[ "$archived" -gt 0 ] && [ $((before - after)) -eq "$archived" ] ||
  fail "$archived messages archived, but $((before - after)) of $before left the store"
echo "$archived of $before messages archived and deleted"

echo "== apt-get remove velmor-archiver"
"${apt[@]}" remove -y velmor-archiver
installed=0
dpkg-query -W -f='${Status}\n' velmor-archiver 2>/dev/null | grep -q ' installed$' && fail "still installed after apt-get remove"
for gone in /usr/bin/archiver /usr/bin/attfix /usr/share/man/man1/archiver.1.gz /usr/share/doc/velmor-archiver; do
  [ ! -e "$gone" ] || fail "$gone is left after apt-get remove"
done
man -w archiver >/dev/null 2>&1 && fail "man -w archiver still finds a page"

if [ "$failed" -ne 0 ]; then
  echo "The install test failed." >&2
  exit 1
fi
echo "The package installs, works, and removes cleanly."
