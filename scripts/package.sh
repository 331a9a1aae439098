#!/usr/bin/env bash
# Builds the Debian package build-package/velmor-archiver_<version>_<arch>.deb
# with CPack, compiled with Debian's hardening flags, and checks it with
# lintian, which must report no error (the warnings kept are listed in the
# README). Prints the path of the package as its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# What the package is made and checked with, as the other scripts install
# what they need.
scripts/install-missing.sh dpkg-dev file lintian

dir=build-package
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1"; }
# No tests: the package holds only what cmake --install puts in place.
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=None -DARCHIVER_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
cmake --build "$dir" -j2

# The version lives in project() of CMakeLists.txt; the changelog must have
# an entry for it before a package of that version is made.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
logged=$(dpkg-parsechangelog -l docs/debian/changelog -S Version)
if [ "$version" != "$logged" ]; then
  echo "docs/debian/changelog begins with version $logged, the build is $version: add an entry" >&2
  exit 1
fi

rm -f "$dir"/velmor-archiver_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
package=$(ls "$dir"/velmor-archiver_"$version"_*.deb)
echo "== lintian $package"
lintian --display-info --fail-on error "$package"
echo "$package"
