#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# screenshots.sh PROGRAM OUTDIR: the program photographs its windows under
# Xvfb; every picture must exist, fit the screen and not be blank.
# AMPERO_SCREENSHOT_PLATFORM=wayland runs the tour under a headless Weston
# instead, where the compositor's own pictures must also show every window
# whole, on top and as the program drew it (weston-NAME.png).
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
# Each window as Weston showed it when it appeared (weston-tour.sh): on top,
# at the size of the program's own picture of it, and looking like that
# picture (labels that changed in between aside), so not blank either.
if [ -f "$out/weston-desktop.png" ]; then
  for title in "Orvex Ampero 1.1=main" "Start a test=starttest" "Orvex Ampero=testing" "About...=about" \
    "Testing results=results-energy"; do
    name=${title#*=} title=${title%=*} found=
    for graph in "$out"/weston-[0-9]*.txt; do
      [ -f "$graph" ] || continue
      # The topmost window and its opaque area, the window without its frame.
      top=$(grep -m 1 -A 3 "top-level window" "$graph")
      case "$top" in *"top-level window '$title' of"*) ;; *) continue ;; esac
      area=$(printf '%s\n' "$top" | sed -n 's/.*opaque: (\([0-9]*\), \([0-9]*\)) -> (\([0-9]*\), \([0-9]*\)).*/\1 \2 \3 \4/p')
      [ -n "$area" ] || continue
      set -- $area
      found="$(($3 - $1))x$(($4 - $2))+$1+$2 ${graph%.txt}.png"
      break
    done
    if [ -z "$found" ]; then echo "Weston never showed the window '$title' on top"; fail=1; continue; fi
    geometry=${found%% *} shot=${found#* }
    convert "$shot" -crop "$geometry" +repage "$out/weston-$name.png"
    size=$(identify -format '%wx%h' "$out/$name.png")
    if [ "${geometry%%+*}" != "$size" ]; then echo "Weston shows '$title' at ${geometry%%+*}, not $size"; fail=1; fi
    differ=$(compare -metric AE -fuzz 10% "$out/$name.png" "$out/weston-$name.png" null: 2>&1 || true)
    pixels=$(( ${size%x*} * ${size#*x} ))
    if [ "${differ%%.*}" -gt $((pixels / 20)) ] 2>/dev/null || [ -z "${differ%%.*}" ]; then
      echo "Weston's '$title' differs from the program's picture in $differ of $pixels pixels"; fail=1
    fi
    echo "$out/weston-$name.png: Weston showed '$title' at $geometry, $differ pixels unlike the program's"
  done
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
