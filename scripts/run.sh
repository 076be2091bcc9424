#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets everything up (scripts/setup.sh) and starts the program. Arguments go to
# the program; without a battery, try: scripts/run.sh --power-source sim:2
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${AMPERO_BUILD_DIR:-$here/build}"
"$here/scripts/setup.sh"
exec "$build/ampero" "$@"
