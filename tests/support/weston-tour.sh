#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# weston-tour.sh PROGRAM OUTDIR, inside with-weston.sh: runs the program's
# screenshot tour and meanwhile photographs the whole output with
# weston-screenshooter, what the compositor really shows: first the empty
# desktop (weston-desktop.png), then a picture every quarter second while the
# program runs (weston-N.png).
set -eu
program="$1"
out="$2"
shoot() { # name
  mkdir -p "$out/.shot" && (cd "$out/.shot" && weston-screenshooter >/dev/null 2>&1) &&
    mv "$out"/.shot/*.png "$out/$1" 2>/dev/null
  rm -rf "$out/.shot"
}
# The desktop once Weston's fade-in is over: two pictures in a row alike.
shoot weston-desktop.png
i=0
while [ "$i" -lt 20 ]; do
  sleep 0.25
  shoot weston-next.png
  [ "$(compare -metric AE "$out/weston-desktop.png" "$out/weston-next.png" null: 2>&1 || true)" = 0 ] && break
  mv "$out/weston-next.png" "$out/weston-desktop.png"
  i=$((i + 1))
done
rm -f "$out/weston-next.png"
"$program" &
pid=$!
n=0
while kill -0 "$pid" 2>/dev/null; do
  sleep 0.25
  n=$((n + 1))
  shoot "weston-$n.png" || true
done
wait "$pid"
