#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# package.sh: builds the Debian package orvex-ampero_VERSION_amd64.deb in
# build-release/ from a Release build (the release preset without tests and
# benchmarks), installing what the build needs first, as scripts/setup.sh
# does. The package is made by CPack from the install rules: the binary
# stripped, its library dependencies computed by dpkg-shlibdeps, and what the
# program loads at run time listed in cmake/Packaging.cmake. Prints the path
# of the package on its last line.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
AMPERO_PRESET=release \
  AMPERO_CMAKE_ARGS="-DAMPERO_BUILD_TESTS=OFF -DAMPERO_BUILD_BENCH=OFF ${AMPERO_CMAKE_ARGS:-}" \
  "$here/scripts/setup.sh"
cd "$here/build-release"
rm -f orvex-ampero_*.deb
cpack -G DEB >/dev/null
deb=$(ls "$PWD"/orvex-ampero_*.deb)
dpkg-deb --field "$deb" Package Version Depends Recommends Installed-Size
echo "$deb"
