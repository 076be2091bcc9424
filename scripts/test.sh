#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets everything up (scripts/setup.sh) and runs the whole test suite.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${AMPERO_BUILD_DIR:-$here/build}"
"$here/scripts/setup.sh"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" "$@"
