#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check-layers.sh: every #include "..." of the program's folders must stay in
# its own folder or go down the layers, never up and never sideways:
#
#   app -> ui -> session -> sysinfo, results, web -> platform -> core
#
# sysinfo, results and web are independent siblings. platform/dbus and
# platform/net (the D-Bus and network backends) are for app only: the logic
# beneath the windows builds with QtCore alone. An include without a folder
# ("version.h", "ui_mainwindow.h") names a generated header or one beside the file.
# tests/ and bench/ may include anything. Prints file:line and the include of
# each one that breaks the rule and exits 1 if there is any.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# The layers each layer may include, itself first.
declare -A allowed=(
  [core]="core"
  [platform]="platform core"
  [backends]="backends platform core"
  [sysinfo]="sysinfo platform core"
  [results]="results platform core"
  [web]="web platform core"
  [session]="session sysinfo results web platform core"
  [ui]="ui session sysinfo results web platform core"
  [app]="app ui session sysinfo results web backends platform core"
)

# The layer of a path inside the source tree, empty for a path in none.
layer_of() {
  case "$1" in
    platform/dbus/* | platform/net/*) echo backends ;;
    core/* | platform/* | sysinfo/* | results/* | web/* | session/* | ui/* | app/*) echo "${1%%/*}" ;;
    *) echo "" ;;
  esac
}

bad=0
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- \
  'core/*' 'platform/*' 'sysinfo/*' 'results/*' 'web/*' 'session/*' 'ui/*' 'app/*' |
  grep -E '\.(h|hpp|cpp|c|in)$')
# One grep over every file: "file:line:#include "target"".
while IFS= read -r hit; do
  file="${hit%%:*}"
  rest="${hit#*:}"
  line="${rest%%:*}"
  target="${rest#*\"}"
  target="${target%%\"*}"
  [[ "$target" == */* ]] || continue
  from="$(layer_of "$file")"
  to="$(layer_of "$target")"
  ok=0
  if [ -n "$to" ]; then
    for l in ${allowed[$from]}; do
      [ "$l" = "$to" ] && ok=1
    done
  fi
  if [ "$ok" = 0 ]; then
    echo "$file:$line: #include \"$target\": layer ${from} may not include ${to:-${target%%/*}/} (may: ${allowed[$from]})"
    bad=1
  fi
done < <(grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "${files[@]}" || true)

if [ "$bad" = 1 ]; then
  echo "check-layers: includes above go up or sideways between layers" >&2
  exit 1
fi
echo "check-layers: every include goes down the layers"
