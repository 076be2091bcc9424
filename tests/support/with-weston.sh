#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# with-weston.sh COMMAND [ARG...]: runs COMMAND as a Wayland client of a
# headless Weston of its own (QT_QPA_PLATFORM=wayland, no X display); it blanks
# the screen after AMPERO_WESTON_IDLE seconds without input (default never). Weston
# 10 draws with pixman only when asked to, allows weston-screenshooter only
# with --debug, and needs an XDG_RUNTIME_DIR, which a root shell lacks: one is
# made here for this compositor alone.
set -eu
runtime=$(mktemp -d)
chmod 700 "$runtime"
weston=
cleanup() {
  [ -n "$weston" ] && kill "$weston" 2>/dev/null && wait "$weston" 2>/dev/null
  rm -rf "$runtime"
}
trap cleanup EXIT
trap 'exit 143' TERM INT
XDG_RUNTIME_DIR="$runtime" weston --backend=headless-backend.so --use-pixman --debug --idle-time="${AMPERO_WESTON_IDLE:-0}" \
  --width=1024 --height=768 --socket=wayland-ampero --no-config >"$runtime/log" 2>&1 &
weston=$!
i=0
while [ ! -S "$runtime/wayland-ampero" ] || ! grep -q "launching.*weston-desktop-shell" "$runtime/log"; do
  i=$((i + 1))
  if [ "$i" -gt 200 ] || ! kill -0 "$weston" 2>/dev/null; then
    echo "with-weston.sh: Weston did not start" >&2
    cat "$runtime/log" >&2
    exit 1
  fi
  sleep 0.05
done
sleep 0.5 # the desktop shell's panel and background
XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=wayland-ampero QT_QPA_PLATFORM=wayland
export XDG_RUNTIME_DIR WAYLAND_DISPLAY QT_QPA_PLATFORM
unset DISPLAY
status=0
"$@" || status=$?
exit "$status"
