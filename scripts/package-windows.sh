#!/usr/bin/env bash
# Makes the Windows download build-windows/velmor-archiver-<version>-win64.zip:
# one folder velmor-archiver-<version>-win64\ holding archiver.exe, attfix.exe,
# Info-ZIP's zip.exe and unzip.exe with their LICENSE, README-windows.txt and
# an example archive.cfg. Builds what is missing with scripts/build-windows.sh
# and scripts/build-infozip-windows.sh. Prints the path of the zip as its
# last line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-missing.sh --no-install-recommends zip binutils-mingw-w64-x86-64
[ -f build-windows/archiver.exe ] && [ -f build-windows/attfix.exe ] ||
  scripts/build-windows.sh archiver attfix >&2
[ -f build-windows/infozip/zip.exe ] && [ -f build-windows/infozip/unzip.exe ] ||
  scripts/build-infozip-windows.sh >&2

# The version lives in project() of CMakeLists.txt.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
[ -n "$version" ] || { echo "no project version in build-windows/CMakeCache.txt" >&2; exit 1; }
name="velmor-archiver-$version-win64"
package="$PWD/build-windows/$name.zip"
stage=$(mktemp -d "${TMPDIR:-/tmp}/velmor-win64-XXXXXX")
trap 'rm -rf "$stage"' EXIT

mkdir "$stage/$name"
for program in archiver attfix; do
  x86_64-w64-mingw32-strip -o "$stage/$name/$program.exe" "build-windows/$program.exe"
done
cp build-windows/infozip/zip.exe build-windows/infozip/unzip.exe build-windows/infozip/LICENSE "$stage/$name/"
# Notepad of older Windows shows a file without CR as one long line. The
# example configuration shows a Windows main directory there.
for text in docs/README-windows.txt examples/archive.cfg; do
  sed -e 's/\r*$/\r/' -e 's|^# velmorDirName /home/ann/velmor|# velmorDirName C:\\Velmor|' "$text" \
    >"$stage/$name/$(basename "$text")"
done
# Fixed times and order, so that the same sources give the same zip.
touch -d "@$(git log -1 --format=%ct 2>/dev/null || echo 0)" "$stage/$name" "$stage/$name"/*
rm -f "$package"
(cd "$stage" && { echo "$name/"; LC_ALL=C ls -d "$name"/*; } | zip -q -X -9 "$package" -@)
echo "${package#"$PWD"/}"
