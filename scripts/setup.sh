#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing on Debian 12, then configures and builds with a
# preset of CMakePresets.json: dev (into build/) unless AMPERO_PRESET names
# another, such as ci or one of your own in CMakeUserPresets.json (the way to
# build elsewhere). AMPERO_CMAKE_ARGS adds configure options on top of the
# preset's (-DCMAKE_CXX_COMPILER_LAUNCHER=ccache, say). Idempotent: a second
# run installs nothing and rebuilds only what changed.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
preset="${AMPERO_PRESET:-dev}"

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools
  qt6-l10n-tools qt6-qpa-plugins qt6-wayland libqt6svg6 qt6-svg-dev libxcb1-dev
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format clang-tidy
  xvfb xauth x11-utils xdotool imagemagick at-spi2-core python3-pyatspi fonts-dejavu-core fonts-dejavu-extra
  dbus dbus-x11 python3 python3-dbusmock python3-gi
  appstream desktop-file-utils libglib2.0-bin
  upower umockdev gir1.2-umockdev-1.0
  libqt6sql6-sqlite libqt6sql6-psql postgresql
  weston debootstrap
)
if [ "${1:-}" = "--list-packages" ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cd "$here"
# Configuring again is quick and keeps the build to the preset's settings.
# shellcheck disable=SC2086
cmake --preset "$preset" ${AMPERO_CMAKE_ARGS:-} >/dev/null
cmake --build --preset "$preset" --parallel "$(nproc)"
