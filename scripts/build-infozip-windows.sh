#!/usr/bin/env bash
# Builds Info-ZIP's zip.exe (3.0) and unzip.exe (6.0) for 64-bit Windows from
# Debian's source packages, with Debian's patches (its security fixes among
# them) applied, into build-windows/infozip/ together with Info-ZIP's licence:
#
#   scripts/build-infozip-windows.sh
#
# The sources come through apt from the Debian archive the machine already
# uses, by a deb-src entry that lives only in a scratch directory for the
# run: the machine's own apt configuration, package lists and cache are not
# touched, so nothing is left to remove afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-missing.sh --no-install-recommends \
  gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 make patch xz-utils
out="$PWD/build-windows/infozip"
work=$(mktemp -d "${TMPDIR:-/tmp}/infozip-XXXXXX")
trap 'rm -rf "$work"' EXIT

# A deb-src twin of every Debian entry of the machine (deb822 and one-line).
apt_dir="$work/apt"
mkdir -p "$apt_dir/parts" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -e "$f" ] || continue
  awk 'BEGIN { RS = ""; ORS = "\n\n" }
       /URIs:[^\n]*debian/ && /Types:[^\n]*deb/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' \
    "$f" >>"$apt_dir/parts/debian-src.sources"
done
if [ -e /etc/apt/sources.list ]; then
  sed -n 's/^deb \(.*debian.*\)$/deb-src \1/p' /etc/apt/sources.list >"$apt_dir/parts/debian-src.list"
fi
apt_options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt_dir/parts"
             -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
             -o APT::Sandbox::User=root)
apt-get "${apt_options[@]}" update >/dev/null

# fetch PACKAGE ORIG: the original tarball and the newest Debian tarball that
# can be had. A mirror may lack some files of the newest version (its .dsc, or
# its tarballs under the security suite); apt checks every file it does get
# against the signed index, so older versions fill the gaps.
fetch() {
  local package=$1 orig=$2 version
  apt-get "${apt_options[@]}" source --download-only "$package" >/dev/null 2>&1 || true
  for version in $(apt-cache "${apt_options[@]}" showsrc "$package" | sed -n 's/^Version: //p' | sort -rV); do
    if [ -e "$orig" ] && compgen -G "${package}_*.debian.tar.*" >/dev/null; then break; fi
    apt-get "${apt_options[@]}" source --download-only "$package=$version" >/dev/null 2>&1 || true
  done
  # By version apt may still ask the security suite, whose pool can lack the
  # original tarball; by suite it asks each pool in turn.
  local suite
  for suite in $(cat "$apt_dir"/parts/* 2>/dev/null | sed -n 's/^Suites: //p; s/^deb-src [^ ]* \([^ ]*\) .*/\1/p'); do
    if [ -e "$orig" ] && compgen -G "${package}_*.debian.tar.*" >/dev/null; then break; fi
    apt-get "${apt_options[@]}" source --download-only "$package/$suite" >/dev/null 2>&1 || true
  done
  [ -e "$orig" ] || { echo "cannot get $orig from the Debian archive" >&2; exit 1; }
  compgen -G "${package}_*.debian.tar.*" >/dev/null ||
    { echo "cannot get Debian's patches of $package" >&2; exit 1; }
}

# unpack PACKAGE ORIG DIR: the original sources with Debian's patches.
unpack() {
  local package=$1 orig=$2 dir=$3 debian patch
  debian=$(ls "${package}"_*.debian.tar.* | sort -V | tail -n 1)
  echo "$package: $orig with the patches of $debian"
  tar xzf "$orig"
  tar xf "$debian" -C "$dir"
  while read -r patch _; do
    case "$patch" in '' | '#'*) continue ;; esac
    patch -d "$dir" -p1 -s --no-backup-if-mismatch <"$dir/debian/patches/$patch"
  done <"$dir/debian/patches/series"
}

cd "$work"
fetch zip zip_3.0.orig.tar.gz
fetch unzip unzip_6.0.orig.tar.gz
unpack zip zip_3.0.orig.tar.gz zip30
unpack unzip unzip_6.0.orig.tar.gz unzip60

# mingw-w64's headers define a CR macro that clashes with Info-ZIP's unless
# windows.h comes first; no assembler parts.
cc=x86_64-w64-mingw32-gcc-posix
jobs=${ARCHIVER_JOBS:-$(nproc)}
make -C zip30 -j"$jobs" -f win32/makefile.gcc CC="$cc" RC=x86_64-w64-mingw32-windres \
  LD="$cc -static" LOCAL_ZIP="-DNO_ASM -include windows.h" OBJA= CRCA_O= CRCAUO= zip.exe >build-zip.log 2>&1 ||
  { cat build-zip.log >&2; exit 1; }
make -C unzip60 -j"$jobs" -f win32/Makefile.gcc CC="$cc" RC=x86_64-w64-mingw32-windres \
  AR=x86_64-w64-mingw32-ar LD="$cc -static" NOASM=1 CC_CPU_OPT=-mtune=generic \
  LOCAL_UNZIP="-include windows.h" unzip.exe >build-unzip.log 2>&1 ||
  { cat build-unzip.log >&2; exit 1; }

mkdir -p "$out"
cp zip30/zip.exe unzip60/unzip.exe "$out/"
# Info-ZIP's licence asks to travel with the programs.
cp zip30/LICENSE "$out/LICENSE"
echo "zip.exe and unzip.exe are in ${out#"$OLDPWD"/}"
