#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets everything up (scripts/setup.sh) and runs the whole test suite with the
# same preset (dev unless AMPERO_PRESET names another). Arguments go to ctest,
# for instance -R <pattern> for a part of the suite.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh"
cd "$here"
ctest --preset "${AMPERO_PRESET:-dev}" --parallel "$(nproc)" "$@"
