#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# sanitize.sh [address|thread]: builds the tests of the logic and the backends
# with clang under AddressSanitizer + UndefinedBehaviorSanitizer (default), or
# the load workers' tests under ThreadSanitizer, and runs them. The window
# tests are not part of it: they exercise Qt's uninstrumented widgets.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
kind="${1:-address}"
case "$kind" in
  address) sanitizers=address,undefined ;;
  thread) sanitizers=thread ;;
  *) echo "usage: sanitize.sh [address|thread]" >&2; exit 2 ;;
esac
build="${AMPERO_SANITIZE_BUILD_DIR:-$here/build-$kind}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DAMPERO_SANITIZE="$sanitizers" -DAMPERO_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" --parallel "$(nproc)" --target ampero_sanitizer_tests
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
