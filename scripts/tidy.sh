#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# tidy.sh [BUILD_DIR]: clang-tidy (.clang-tidy beside this folder) over the
# program's own sources and, through HeaderFilterRegex, its headers. Any
# warning fails.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-${AMPERO_BUILD_DIR:-$here/build}}"
cd "$here"
mapfile -t sources < <(git ls-files 'app/*.cpp' 'ui/*.cpp' 'session/*.cpp' 'results/*.cpp' 'sysinfo/*.cpp' \
  'web/*.cpp' 'platform/*.cpp' 'core/*.cpp')
run-clang-tidy -quiet -p "$build" -j "$(nproc)" "${sources[@]/#/$here/}" >"$build/clang-tidy.log" 2>&1 || {
  grep -E 'warning:|error:' "$build/clang-tidy.log" | sort -u >&2
  echo "tidy: clang-tidy found the problems above (whole log: $build/clang-tidy.log)" >&2
  exit 1
}
echo "tidy: ${#sources[@]} sources clean"
