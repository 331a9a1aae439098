#!/usr/bin/env bash
# The Linux build (build/, or ARCHIVER_LINUX_BUILD) and the Windows build
# (build-windows/, under Wine, with build-windows/infozip's zip.exe and
# unzip.exe) archive the same store with /N:
#
#   scripts/test-windows-linux-archives.sh
#
# The two archives must hold the same backup.bag and the same member names
# and contents, as each system's unzip lists and extracts them, and the two
# stores the same folder.bag files afterwards. Then each archive is restored
# with /o by the other build, which must bring back every message byte for
# byte, café 1.msg included, and leave the same folder.bag files. The store
# is the sample store with one more message whose name has a blank and the
# byte 0xE9 (e acute in code page 1252).
set -euo pipefail
cd "$(dirname "$0")/.."
linux=${ARCHIVER_LINUX_BUILD:-build}
[ -x "$linux/archiver" ] || scripts/build.sh plain archiver
[ -f build-windows/archiver.exe ] || scripts/build-windows.sh archiver
[ -f build-windows/infozip/unzip.exe ] || scripts/build-infozip-windows.sh
. scripts/wine-env.sh
wineStart "$PWD/build-windows/wine"
work=$(mktemp -d "${TMPDIR:-/tmp}/velmor-two-systems-XXXXXX")
cleanUp() {
  rm -f "$WINEPREFIX/dosdevices/v:"
  wineStop
  rm -rf "$work"
}
trap cleanUp EXIT
# The stores on a drive of their own, as a client's are.
ln -sfn "$work" "$WINEPREFIX/dosdevices/v:"
export WINEPATH
WINEPATH="$(winepath -w "$PWD/build-windows/infozip")"
failed=0
fail() { echo "FAIL: $*"; failed=1; }
windows() { wine64 "$@" </dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# A name of 8-bit bytes is kept on Linux as the bytes the client wrote; Wine
# keeps a Windows name on Linux in UTF-8. Both are "café 1.msg" to the
# program that runs there.
extra=work.act/inbox.fld
store() {
  cp -r examples/store/. "$1/"
  cp "$1/velmor/$extra/1001.msg" "$1/velmor/$extra/$2"
}
mkdir "$work/linux" "$work/windows"
store "$work/linux" $'caf\xe9 1.msg'
store "$work/windows" $'caf\xc3\xa9 1.msg'

echo "== archive /D 2020/01/01 /N with each build"
(cd "$work/linux/velmor" && "$OLDPWD/$linux/archiver" /D 2020/01/01 /N </dev/null >/dev/null) ||
  fail "the Linux archive job ended with status $?"
(cd "$work/windows/velmor" && windows "$OLDPWD/build-windows/archiver.exe" /D 2020/01/01 /N >/dev/null) ||
  fail "the Windows archive job ended with status $?"
linuxZip="$work/linux/velmor/ARCHIV00.zip"
windowsZip="$work/windows/velmor/ARCHIV00.zip"

cmp -s <(unzip -p "$linuxZip" backup.bag) <(unzip -p "$windowsZip" backup.bag) &&
  echo "backup.bag: the same bytes" || fail "backup.bag differs"

# Each unzip lists its own system's archive; unzip.exe writes names in the
# console's (OEM) code page, 850 under Wine, which iconv turns into 1252.
unzip -Z1 "$linuxZip" | LC_ALL=C sort >"$work/linux.names"
(cd "$work" && windows "$OLDPWD/build-windows/infozip/unzip.exe" -Z1 'windows\velmor\ARCHIV00.zip') |
  iconv -f CP850 -t CP1252 | LC_ALL=C sort >"$work/windows.names"
cmp -s "$work/linux.names" "$work/windows.names" && echo "member names: the same ($(wc -l <"$work/linux.names"))" ||
  fail "member names differ: $(diff "$work/linux.names" "$work/windows.names" | cat -v)"
# And the other way round: Linux's unzip reads the name of the UTF-8 extra
# field that zip.exe stores, Wine's unzip.exe the raw bytes that zip stores.
echo "  Linux unzip reads the Windows archive's names as: $(unzip -Z1 "$windowsZip" | grep -a caf | cat -v)"

# The contents, each extracted by its own system's unzip.
mkdir "$work/out-linux" "$work/out-windows"
unzip -q "$linuxZip" -d "$work/out-linux"
(cd "$work" && windows "$OLDPWD/build-windows/infozip/unzip.exe" -q 'windows\velmor\ARCHIV00.zip' -d out-windows) ||
  fail "unzip.exe ended with status $?"
mv "$work/out-windows/$extra/"$'caf\xc3\xa9 1.msg' "$work/out-windows/$extra/"$'caf\xe9 1.msg'
diff -r "$work/out-linux" "$work/out-windows" >/dev/null && echo "member contents: the same" ||
  fail "member contents differ: $(diff -r "$work/out-linux" "$work/out-windows" | cat -v | head -5)"

indexes=$(cd "$work/linux" && find . -name folder.bag | LC_ALL=C sort)
same=1
while read -r index; do
  cmp -s "$work/linux/$index" "$work/windows/$index" || { fail "$index differs after the archive"; same=0; }
done <<<"$indexes"
[ "$same" -eq 0 ] || echo "folder.bag files: the same ($(wc -l <<<"$indexes"))"

echo "== each archive restored with /o by the other build"
# Linux's archive, put into the store the Windows build archived, and the
# other way round: the stores are then alike before the restore.
mv "$linuxZip" "$work/windows/velmor/LINUX.zip"
mv "$windowsZip" "$work/linux/velmor/WINDOWS.zip"
(cd "$work/windows/velmor" && windows "$OLDPWD/build-windows/archiver.exe" /r /o LINUX.zip >/dev/null) ||
  fail "the Windows build restoring the Linux archive ended with status $?"
# Linux's unzip knows the 8-bit name of the Windows archive by the UTF-8
# extra field that zip.exe adds, not by the bytes of backup.bag; the restore
# finds it in the listing all the same and gives the file the name of its
# index line, as Linux keeps it (the byte 0xE9).
(cd "$work/linux/velmor" && "$OLDPWD/$linux/archiver" /r /o WINDOWS.zip </dev/null >"$work/restore.out" 2>&1) ||
  fail "the Linux build restoring the Windows archive ended with status $?"
! grep -aq '^Error unarchiving file' "$work/restore.out" ||
  fail "the Linux build could not restore a message of the Windows archive: $(cat -v "$work/restore.out")"
rm "$work/windows/velmor/LINUX.zip" "$work/linux/velmor/WINDOWS.zip"
for system in linux windows; do
  differences=$(diff -r -x folder.bag -x $'caf*' examples/store "$work/$system" || true)
  [ -z "$differences" ] || fail "restored by the other build, the $system store differs: $differences"
  [ -z "$(find "$work/$system" -name '.archiver-*')" ] || fail "a staging folder is left in the $system store"
done
cmp -s "$work/windows/velmor/$extra/"$'caf\xc3\xa9 1.msg' examples/store/velmor/$extra/1001.msg ||
  fail "the Windows build did not restore café 1.msg from the Linux archive"
cmp -s "$work/linux/velmor/$extra/"$'caf\xe9 1.msg' examples/store/velmor/$extra/1001.msg ||
  fail "the Linux build did not restore café 1.msg from the Windows archive"
# The indexes alike after the restores, café 1.msg's line included.
while read -r index; do
  cmp -s "$work/linux/$index" "$work/windows/$index" || fail "$index differs after the restores"
done <<<"$indexes"

if [ "$failed" -ne 0 ]; then
  echo "The archives of the two builds differ." >&2
  exit 1
fi
echo "The two builds make the same archives and restore each other's."
