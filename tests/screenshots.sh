#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# screenshots.sh PROGRAM OUTDIR: the program photographs its windows under
# Xvfb; every picture must exist, fit the screen and not be blank.
set -eu
program="$1"
out="$2"
rm -rf "$out"
mkdir -p "$out"
AMPERO_SCREENSHOT_DIR="$out" AMPERO_POWER_SOURCE="${AMPERO_POWER_SOURCE:-}" \
  QT_QPA_PLATFORM=xcb timeout 60 sh "$(dirname "$0")/support/with-xvfb.sh" "$program"
fail=0
check() { # name
  f="$out/$1"
  if [ ! -s "$f" ]; then echo "missing $f"; fail=1; return; fi
  size=$(identify -format '%wx%h' "$f")
  if [ "${size%x*}" -gt 1024 ] || [ "${size#*x}" -gt 768 ]; then echo "$1: $size, larger than the screen"; fail=1; fi
  colours=$(identify -format '%k' "$f")
  if [ "$colours" -lt 3 ]; then echo "$1: blank ($colours colours)"; fail=1; fi
  echo "$f $size $colours colours"
}
for name in main starttest testing about main-testing main-power results-energy; do
  check "$name.png"
done
exit $fail
