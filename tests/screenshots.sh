#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# screenshots.sh PROGRAM OUTDIR: the program photographs its windows under
# Xvfb; every picture must exist, have the window's size and not be blank.
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
# On Wayland a program cannot read the screen; Weston's pictures show both.
[ -f "$out/weston-desktop.png" ] || check main-testing.png 632 453
check main-power.png 632 453
check results-energy.png 320 388
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
exit $fail
