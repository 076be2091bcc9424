#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# with-xvfb.sh COMMAND [ARG...]: runs COMMAND on an X server of its own.
# Xvfb picks a free display itself (-displayfd) and says which once it
# accepts connections, so tests started at the same moment never share or
# race for a display, as they can with a guessed number. AMPERO_XVFB_SCREEN
# sets another screen size (default 1024x768x24). -noreset: the
# server stays up between clients, so a program started right after the last
# one quit does not meet a server in the middle of its reset.
set -eu
dir=$(mktemp -d)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 143' TERM INT
Xvfb -displayfd 3 -screen 0 "${AMPERO_XVFB_SCREEN:-1024x768x24}" -dpi 96 -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/log" &
xvfb=$!
i=0
while ! grep -q '^[0-9][0-9]*$' "$dir/display" 2>/dev/null; do
  i=$((i + 1))
  if [ "$i" -gt 200 ] || ! kill -0 "$xvfb" 2>/dev/null; then
    echo "with-xvfb.sh: Xvfb did not start" >&2
    cat "$dir/log" >&2
    exit 1
  fi
  sleep 0.05
done
DISPLAY=":$(cat "$dir/display")"
export DISPLAY
unset WAYLAND_DISPLAY
status=0
"$@" || status=$?
exit "$status"
