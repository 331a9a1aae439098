#!/usr/bin/env bash
# Tries the Windows download (scripts/package-windows.sh) as a Windows user
# would: unpacked into its own folder of a fresh Wine prefix, that folder on
# the programs' PATH, the store on a drive of its own (D:). There it shows
# its version, archives a copy of the sample store with /N into D:\saved\
# and restores the archive with /o, with the zip.exe and unzip.exe of the
# download; the store must then hold every message byte for byte as before,
# each listed in its folder's index, and nothing else.
# KEEP_WORK=1 keeps the prefix and the store for a look afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
package=$(scripts/package-windows.sh | tail -1)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
name="velmor-archiver-$version-win64"

. scripts/wine-env.sh
work=$(mktemp -d "${TMPDIR:-/tmp}/velmor-win-package-XXXXXX")
[ -z "${KEEP_WORK:-}" ] || echo "work directory: $work"
cleanUp() {
  wineStop
  [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanUp EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

wineStart "$work/prefix"

echo "== unpack $package into C:\\"
unzip -q "$package" -d "$WINEPREFIX/drive_c"
expected="$name/
$name/LICENSE
$name/README-windows.txt
$name/archive.cfg
$name/archiver.exe
$name/attfix.exe
$name/unzip.exe
$name/zip.exe"
listed=$(unzip -Z1 "$package" | LC_ALL=C sort)
[ "$listed" = "$expected" ] || fail "the download holds: $listed"
# As a user who added the folder to PATH.
export WINEPATH="C:\\$name"

# The store on D:, as on a machine whose mail lives on a second disk.
mkdir "$work/data"
cp -r examples/store/. "$work/data/"
ln -s "$work/data" "$WINEPREFIX/dosdevices/d:"
store="$work/data/velmor"
# run DIR PROGRAM ARG...: a program of the download in DIR, without input,
# its console lines with the CR taken out.
run() {
  local dir=$1
  shift
  (cd "$dir" && wine64 "$@" </dev/null) | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

echo "== the version"
wanted="Velmor Archiver - mail store archiving utility
Version $version\\W  built: Jul 14 1998  11:39:10"
for program in archiver.exe attfix.exe; do
  shown=$(run "$work" "$program" --version) || fail "$program --version ended with status $?"
  [ "$shown" = "$wanted" ] || fail "$program --version shows: $shown"
done

echo "== archive with /N"
before=$(find "$store" -iname '*.msg' | wc -l)
# The archive named with its drive, in a directory of its own.
mkdir "$work/data/saved"
run "$store" archiver.exe /V 1 /D 2020/01/01 /N 'D:\saved\old.zip' || fail "the archive job ended with status $?"
archive="$work/data/saved/old.zip"
members=$(unzip -Z1 "$archive") || fail "no archive ARCHIV00.zip"
grep -qx backup.bag <<<"$members" || fail "ARCHIV00.zip holds no backup.bag"
archived=$(grep -ci '\.msg$' <<<"$members" || true)
after=$(find "$store" -iname '*.msg' | wc -l)
[ "$archived" -gt 0 ] && [ $((before - after)) -eq "$archived" ] ||
  fail "$archived messages archived, but $((before - after)) of $before left the store"
while read -r member; do
  case "$member" in *.msg | *.MSG) ;; *) continue ;; esac
  [ ! -e "$store/$member" ] || fail "$member is archived but still in the store"
  cmp -s <(unzip -p "$archive" "$member") "examples/store/velmor/$member" ||
    fail "$member differs in the archive"
done <<<"$members"
echo "$archived of $before messages archived and deleted"

# Each index keeps the lines of the messages left in the store, in their
# order, and loses those of the archived ones; every rewrite takes the blanks
# around each field out.
indexes=$(cd examples/store/velmor && find . -name folder.bag | sed 's|^\./||')
printf '%s\n' "$members" >"$work/members"
trimmed() { LC_ALL=C sed 's/ *\xde */\xde/g'; }
while read -r index; do
  LC_ALL=C awk -F'\xde' -v dir="$(dirname "$index")" -v list="$work/members" '
    BEGIN { while ((getline m < list) > 0) gone[tolower(m)] = 1 }
    !gone[tolower(dir "/" $(NF - 1))]' "examples/store/velmor/$index" | trimmed >"$work/kept"
  cmp -s "$work/kept" <(trimmed <"$store/$index") || fail "$index after the archive is not its old lines of the messages left"
done <<<"$indexes"

echo "== restore with /o"
run "$store" archiver.exe /r /o 'D:\saved\old.zip' || fail "the restore ended with status $?"
rm -r "$work/data/saved"
differences=$(diff -r -x folder.bag examples/store "$work/data" || true)
[ -z "$differences" ] || fail "the store after the restore differs: $differences"
# The restore adds a line to the end of the index for each message it brings
# back, made from the message's headers as a reindex makes it.
names() { LC_ALL=C awk -F'\xde' '{ print $(NF - 1) }' "$1" | LC_ALL=C sort; }
while read -r index; do
  cmp -s <(names "examples/store/velmor/$index") <(names "$store/$index") ||
    fail "$index does not list the same messages after the restore"
done <<<"$indexes"
echo "every message is back and listed in its index"

echo "== the example archive.cfg of the download"
# Its CR LF lines, read where the client keeps it; /V 4 lists the settings
# without running a job, whatever the day.
cp "$WINEPREFIX/drive_c/$name/archive.cfg" "$store/"
listing=$(run "$store" archiver.exe /V 4) || fail "archiver.exe /V 4 with the example archive.cfg ended with status $?"
grep -qx "Archive day Sunday specified in config file" <<<"$listing" ||
  fail "the example archive.cfg was not read: $listing"
rm "$store/archive.cfg"

if [ "$failed" -ne 0 ]; then
  echo "The Windows download failed its test." >&2
  exit 1
fi
echo "The Windows download unpacks, archives and restores."
