#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# screenshots.sh PROGRAM OUTDIR: the program photographs its windows under
# Xvfb; every picture must exist, have the window's size and not be blank.
set -eu
program="$1"
out="$2"
rm -rf "$out"
mkdir -p "$out"
AMPERO_SCREENSHOT_DIR="$out" AMPERO_POWER_SOURCE="${AMPERO_POWER_SOURCE:-}" \
  QT_QPA_PLATFORM=xcb timeout 60 sh "$(dirname "$0")/support/with-xvfb.sh" "$program"
fail=0
check() { # name width height
  f="$out/$1"
  if [ ! -s "$f" ]; then echo "missing $f"; fail=1; return; fi
  size=$(identify -format '%wx%h' "$f")
  if [ "$size" != "$2x$3" ]; then echo "$1: size $size, expected $2x$3"; fail=1; fi
  colours=$(identify -format '%k' "$f")
  if [ "$colours" -lt 3 ]; then echo "$1: blank ($colours colours)"; fail=1; fi
  echo "$f $size $colours colours"
}
check main.png 632 453
check starttest.png 351 194
check testing.png 214 46
check about.png 294 206
check main-testing.png 632 453
check main-power.png 632 453
check results-energy.png 320 439
exit $fail
