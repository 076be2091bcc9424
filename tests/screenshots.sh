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
maxw=1024 maxh=768 # the screen with-xvfb.sh gives
check() { # name
  f="$out/$1"
  if [ ! -s "$f" ]; then echo "missing $f"; fail=1; return; fi
  size=$(identify -format '%wx%h' "$f")
  if [ "${size%x*}" -gt "$maxw" ] || [ "${size#*x}" -gt "$maxh" ]; then echo "$1: $size, larger than the screen"; fail=1; fi
  colours=$(identify -format '%k' "$f")
  if [ "$colours" -lt 3 ]; then echo "$1: blank ($colours colours)"; fail=1; fi
  echo "$f $size $colours colours"
}
for name in main starttest testing about main-testing main-power results-energy; do
  check "$name.png"
done
# The main window during a test and the results window at 14 pt, at a scale
# of 2 on a 2560x1600 screen (1280x800 in its pixels) and in a dark theme.
shoot() { # subdir, then environment settings
  look="$1"; shift
  mkdir -p "$out/$look"
  env "$@" AMPERO_SCREENSHOT_DIR="$out/$look" AMPERO_POWER_SOURCE="${AMPERO_POWER_SOURCE:-}" \
    QT_QPA_PLATFORM=xcb timeout 60 sh "$(dirname "$0")/support/with-xvfb.sh" "$program"
  for name in main-testing results-energy; do check "$look/$name.png"; done
}
shoot 14pt AMPERO_SCREENSHOT_FONT_PT=14
maxw=2560 maxh=1600
shoot scale2 QT_SCALE_FACTOR=2 AMPERO_XVFB_SCREEN=2560x1600x24
maxw=1024 maxh=768
shoot dark AMPERO_SCREENSHOT_DARK=1
exit $fail
