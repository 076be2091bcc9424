#!/usr/bin/env bash
# Sets everything up (scripts/setup.sh) and runs the whole test suite.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${AMPERO_BUILD_DIR:-$here/build}"
"$here/scripts/setup.sh"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" "$@"
