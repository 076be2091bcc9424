#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets everything up (scripts/setup.sh, the dev preset) and starts the program
# it built in build/. Arguments go to the program; without a battery, try:
# scripts/run.sh --power-source sim:2
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
AMPERO_PRESET=dev "$here/scripts/setup.sh"
exec "$here/build/ampero" "$@"
