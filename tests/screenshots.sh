#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# screenshots.sh PROGRAM OUTDIR: the program photographs its windows under
# Xvfb; every picture must exist, fit the screen and not be blank.
# AMPERO_SCREENSHOT_PLATFORM=wayland runs the tour under a headless Weston
# instead, where the compositor's own pictures must also show the main
# window: at least its area differs from the empty desktop.
set -eu
program="$1"
out="$2"
rm -rf "$out"
mkdir -p "$out"
if [ "${AMPERO_SCREENSHOT_PLATFORM:-xcb}" = wayland ]; then
  AMPERO_SCREENSHOT_DIR="$out" AMPERO_POWER_SOURCE="${AMPERO_POWER_SOURCE:-}" timeout 60 \
    sh "$(dirname "$0")/support/with-weston.sh" sh "$(dirname "$0")/support/weston-tour.sh" "$program" "$out"
else
  AMPERO_SCREENSHOT_DIR="$out" AMPERO_POWER_SOURCE="${AMPERO_POWER_SOURCE:-}" \
    QT_QPA_PLATFORM=xcb timeout 60 sh "$(dirname "$0")/support/with-xvfb.sh" "$program"
fi
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
names="main starttest testing about main-power results-energy"
# On Wayland a program cannot read the screen; Weston's pictures show both.
[ -f "$out/weston-desktop.png" ] || names="$names main-testing"
for name in $names; do
  check "$name.png"
done
if [ -f "$out/weston-desktop.png" ]; then
  most=0
  for f in "$out"/weston-[0-9]*.png; do
    [ -f "$f" ] || continue
    changed=$(compare -metric AE -fuzz 5% "$out/weston-desktop.png" "$f" null: 2>&1 || true)
    [ "${changed%%.*}" -gt "$most" ] 2>/dev/null && most=${changed%%.*}
  done
  if [ "$most" -lt $((632 * 453)) ]; then echo "Weston never showed the main window ($most pixels changed)"; fail=1; fi
  echo "Weston's pictures: up to $most pixels differ from the empty desktop"
fi
# The main window during a test and the results window at 14 pt, at a scale
# of 2 on a 2560x1600 screen (1280x800 in its pixels) and in a dark theme.
shoot() { # subdir, then environment settings
  look="$1"; shift
  mkdir -p "$out/$look"
  env "$@" AMPERO_SCREENSHOT_DIR="$out/$look" AMPERO_POWER_SOURCE="${AMPERO_POWER_SOURCE:-}" \
    QT_QPA_PLATFORM=xcb timeout 60 sh "$(dirname "$0")/support/with-xvfb.sh" "$program"
  for name in main-testing results-energy; do check "$look/$name.png"; done
}
if [ ! -f "$out/weston-desktop.png" ]; then
  shoot 14pt AMPERO_SCREENSHOT_FONT_PT=14
  maxw=2560 maxh=1600
  shoot scale2 QT_SCALE_FACTOR=2 AMPERO_XVFB_SCREEN=2560x1600x24
  maxw=1024 maxh=768
  shoot dark AMPERO_SCREENSHOT_DARK=1
fi
exit $fail
