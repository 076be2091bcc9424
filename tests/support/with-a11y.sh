#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# with-a11y.sh COMMAND [ARG...]: runs COMMAND on a session bus of its own with
# the accessibility bus (AT-SPI) on it, as a desktop session has it for a
# screen reader. Exit status 77 (skipped) when the bus cannot start.
set -eu
if [ -z "${AMPERO_A11Y_SESSION:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "with-a11y.sh: no dbus-run-session; skipping" >&2; exit 77; }
  AMPERO_A11Y_SESSION=1 exec dbus-run-session -- sh "$0" "$@"
fi
# The bus launcher starts on the first call (D-Bus activation, at-spi2-core).
i=0
until gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method org.a11y.Bus.GetAddress \
  >/dev/null 2>&1; do
  i=$((i + 1))
  if [ "$i" -gt 50 ]; then
    echo "with-a11y.sh: the accessibility bus did not start (at-spi2-core); skipping" >&2
    exit 77
  fi
  sleep 0.1
done
status=0
"$@" || status=$?
exit "$status"
