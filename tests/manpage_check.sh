#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# manpage_check.sh AMPERO MANPAGE: the manual page's OPTIONS section names
# exactly the options `ampero --help` lists, so neither drifts from the other.
set -eu
help_opts=$("$1" --help | grep -E '^ {2}-' | sed -E 's/^ +//; s/  .*//; s/ <[^>]*>//g; s/, /\n/g' | sort -u)
man_opts=$(sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$2" | grep -A1 '^\.TP' | grep -v -e '^\.TP' -e '^--' |
  grep -oE '(\\-)+[a-z](\\-|[a-z])*' | sed 's/\\-/-/g' | sort -u)
if [ "$help_opts" != "$man_opts" ]; then
  echo "manpage_check: --help and $2 list different options:" >&2
  diff -u --label "ampero --help" --label "$2" /dev/fd/3 /dev/fd/4 3<<EOF3 4<<EOF4 >&2 || true
$help_opts
EOF3
$man_opts
EOF4
  exit 1
fi
echo "manpage_check: $(echo "$help_opts" | wc -l) options in both"
