#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# sanitize.sh [address|thread]: builds the tests of the logic and the backends
# with clang under AddressSanitizer + UndefinedBehaviorSanitizer (default, the
# asan preset, in build-address/), or the load workers' tests under
# ThreadSanitizer (the tsan preset, in build-thread/), and runs them. The
# window tests are not part of it: they exercise Qt's uninstrumented widgets.
# AMPERO_CMAKE_ARGS adds configure options, as for scripts/setup.sh.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
case "${1:-address}" in
  address) preset=asan ;;
  thread) preset=tsan ;;
  *) echo "usage: sanitize.sh [address|thread]" >&2; exit 2 ;;
esac
cd "$here"
# shellcheck disable=SC2086
cmake --preset "$preset" ${AMPERO_CMAKE_ARGS:-} >/dev/null
cmake --build --preset "$preset" --parallel "$(nproc)"
# The sanitizers' options are the test preset's environment.
ctest --preset "$preset" --parallel "$(nproc)"
