#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# check-packages.sh [BUILD_DIR]: proves that scripts/setup.sh installs what the
# build and the tests use. Every CMake package the configure step found under
# /usr, and every program and Python module the tests call, must belong to a
# Debian package in the dependency closure of setup's list. A machine that has
# a package installed by hand would otherwise pass here and fail on a fresh one.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-${AMPERO_BUILD_DIR:-$here/build}}"
cache="$build/CMakeCache.txt"
[ -f "$cache" ] || { echo "check-packages: no $cache; configure first (scripts/setup.sh)" >&2; exit 2; }

mapfile -t listed < <("$here/scripts/setup.sh" --list-packages)
# Depends and Pre-Depends only: what apt-get --no-install-recommends brings in.
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
  --no-replaces --no-enhances "${listed[@]}" 2>/dev/null | grep -v '^ ' | sed 's/:.*//' | sort -u)
in_closure() { grep -qxF "$1" <<<"$closure"; }

# The package that owns a path, trying it as given and with links resolved
# (alternatives, merged /usr).
owner() {
  local path="$1" p
  for p in "$path" "$(readlink -f "$path")" "${path/#\/usr\/bin//bin}" "${path/#\/usr\/lib//lib}"; do
    [ -e "$p" ] || continue
    dpkg-query -S "$p" 2>/dev/null | grep -v '^diversion' | head -n 1 | sed -E 's/^([^:,]+).*/\1/' && return 0
  done
  return 1
}

failed=0
checked=0
require() { # what path
  local pkg
  if ! pkg=$(owner "$2") || [ -z "$pkg" ]; then
    echo "check-packages: $1 ($2) belongs to no Debian package" >&2
    failed=1
    return
  fi
  checked=$((checked + 1))
  if ! in_closure "$pkg"; then
    echo "check-packages: $1 comes from $pkg, which scripts/setup.sh does not install" >&2
    failed=1
  fi
}

# CMake packages: every <Name>_DIR the configure step wrote that holds a
# package configuration file.
while IFS='=' read -r key dir; do
  name=${key%%_DIR:*}
  case "$dir" in /usr/*) ;; *) continue ;; esac
  for f in "$dir/${name}Config.cmake" "$dir/$(tr '[:upper:]' '[:lower:]' <<<"$name")-config.cmake"; do
    if [ -f "$f" ]; then
      require "CMake package $name" "$f"
      break
    fi
  done
done < <(grep -E '^[A-Za-z0-9_]+_DIR:PATH=' "$cache")

# Programs the build and the tests run.
for prog in cmake c++ clang++ clang-format clang-tidy lrelease Xvfb xdotool dbus-daemon gdbus gio \
  desktop-file-validate appstreamcli identify python3 upowerd umockdev-wrapper cpack dpkg-shlibdeps debootstrap \
  weston weston-screenshooter weston-debug compare dbus-run-session at-spi-bus-launcher; do
  path=$(command -v "$prog" || true)
  case "$prog" in
    # The tests start Debian's interpreter by its full path, whatever PATH says.
    python3) path=$(ls /usr/bin/python3 2>/dev/null || true) ;;
    lrelease) path=$(grep -E '^Qt6_DIR:PATH=' "$cache" >/dev/null && ls /usr/lib/qt6/bin/lrelease 2>/dev/null || true) ;;
    upowerd) path=$(ls /usr/libexec/upowerd 2>/dev/null || true) ;;
    at-spi-bus-launcher) path=$(ls /usr/libexec/at-spi-bus-launcher 2>/dev/null || true) ;;
  esac
  if [ -z "$path" ]; then
    echo "check-packages: the program $prog is not installed" >&2
    failed=1
    continue
  fi
  require "program $prog" "$path"
done
fuzzrt=$(clang++ -print-resource-dir 2>/dev/null)/lib/linux/libclang_rt.fuzzer-x86_64.a
require "libFuzzer runtime" "$fuzzrt"

# Python modules the D-Bus tests import.
for mod in dbusmock gi; do
  if ! file=$(/usr/bin/python3 -c "import $mod, os; print(os.path.dirname($mod.__file__))" 2>/dev/null); then
    echo "check-packages: the Python module $mod is not installed" >&2
    failed=1
    continue
  fi
  require "Python module $mod" "$file"
done

# GObject introspection data the Python helpers load through gi.
for typelib in UMockdev-1.0 Atspi-2.0; do
  file=$(ls /usr/lib/*/girepository-1.0/"$typelib".typelib /usr/lib/girepository-1.0/"$typelib".typelib 2>/dev/null | head -n 1 || true)
  if [ -z "$file" ]; then
    echo "check-packages: the introspection data $typelib is not installed" >&2
    failed=1
    continue
  fi
  require "introspection data $typelib" "$file"
done

if [ "$failed" -ne 0 ]; then
  echo "check-packages: add the packages named above to scripts/setup.sh" >&2
  exit 1
fi
echo "check-packages: $checked files checked, all from packages that scripts/setup.sh installs"
