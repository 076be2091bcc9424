#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# weston-tour.sh PROGRAM OUTDIR, inside with-weston.sh: runs the program's
# screenshot tour and photographs what the compositor really shows with
# weston-screenshooter: first the empty desktop (weston-desktop.png), then
# each window as it appears. Weston's scene graph (weston-debug) names the
# windows; when a new one is mapped the program is held (SIGSTOP) until its
# picture is taken, so that no window of the tour, each shown for a moment
# only, is missed: weston-N.png with the scene graph at that moment in
# weston-N.txt.
set -eu
program="$1"
out="$2"
shoot() { # name
  mkdir -p "$out/.shot" && (cd "$out/.shot" && weston-screenshooter >/dev/null 2>&1) &&
    mv "$out"/.shot/*.png "$out/$1" 2>/dev/null
  rm -rf "$out/.shot"
}
# The top-level windows in the scene graph, surface and title, one a line.
windows() { # scene graph file
  sed -n "s/.*\(surface ID [0-9]*, top-level window '.*'\) of .*/\1/p" "$1" | sort
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
: >"$out/.seen"
while kill -0 "$pid" 2>/dev/null; do
  weston-debug scene-graph >"$out/.graph" 2>/dev/null || true
  if [ -n "$(windows "$out/.graph" | comm -13 "$out/.seen" -)" ]; then
    kill -STOP "$pid" 2>/dev/null || break
    n=$((n + 1))
    sleep 0.1 # the compositor's next repaint shows the new window's first frame
    shoot "weston-$n.png" || true
    weston-debug scene-graph >"$out/weston-$n.txt" 2>/dev/null || true
    windows "$out/weston-$n.txt" >"$out/.seen"
    kill -CONT "$pid" 2>/dev/null || true
  fi
  sleep 0.05
done
rm -f "$out/.seen" "$out/.graph"
wait "$pid"
