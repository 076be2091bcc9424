#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# install-check.sh PACKAGE.deb: installs the package with apt-get into a
# minimal Debian 12 root (debootstrap --variant=minbase, plus man-db and
# xdg-utils as a user has them) and checks that the program starts, that its
# terminal modes work, that the window program runs, and that the menu entry,
# the icons, the results file type and the manual page are where a desktop
# looks for them. Needs root (chroot) and Debian's archive.
#
# The root, with man-db and xdg-utils, is kept as a tarball in
# $AMPERO_ROOT_CACHE (default ~/.cache/ampero) and made again when it is
# older than a week; the package is installed into a fresh copy each time.
# Here that took 7.5 minutes with no tarball and 3 to 4 minutes with one.
set -euo pipefail
deb=$(readlink -f "${1:?usage: install-check.sh PACKAGE.deb}")
mirror="${AMPERO_DEBIAN_MIRROR:-http://deb.debian.org/debian}"
cache="${AMPERO_ROOT_CACHE:-$HOME/.cache/ampero}"
tarball="$cache/debian12-minbase-man-xdg.tar.gz"
[ "$(id -u)" -eq 0 ] || { echo "install-check: needs root for chroot" >&2; exit 2; }
command -v debootstrap >/dev/null || { echo "install-check: debootstrap is not installed (scripts/setup.sh)" >&2; exit 2; }

work=$(mktemp -d /tmp/ampero-install-check.XXXXXX)
root="$work/root"
cleanup() {
  umount "$root/proc" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

mkdir -p "$root"
if [ -f "$tarball" ] && [ -n "$(find "$tarball" -mtime -7)" ]; then
  tar -xzf "$tarball" -C "$root"
else
  echo "install-check: making a minimal Debian 12 root (kept in $tarball)"
  debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$work/debootstrap.log" >&2; exit 1; }
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  in_root apt-get update -qq
  in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq man-db xdg-utils >"$work/apt-base.log" 2>&1 ||
    { tail -n 20 "$work/apt-base.log" >&2; exit 1; }
  in_root apt-get clean
  mkdir -p "$cache"
  tar -czf "$tarball.tmp" -C "$root" . && mv "$tarball.tmp" "$tarball"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"

fail() { echo "install-check: $*" >&2; exit 1; }
cp "$deb" "$root/tmp/"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "/tmp/$(basename "$deb")" >"$work/apt.log" 2>&1 ||
  { tail -n 30 "$work/apt.log" >&2; fail "apt-get install of the package failed"; }

in_root ampero --version | grep -q "^Orvex Ampero $(dpkg-deb --field "$deb" Version)\$" || fail "ampero --version"
in_root env AMPERO_FAKE_SYSTEM=1 ampero --info >"$work/info.txt" || fail "ampero --info failed"
grep -q "Fake Processor" "$work/info.txt" || fail "ampero --info does not show the stand-in machine"
in_root env AMPERO_FAKE_SYSTEM=1 ampero --run fast --power-source sim:1 --output /root/sample.apr >/dev/null ||
  fail "ampero --run did not write a sample file"
in_root ampero --report /root/sample.apr >"$work/report.txt" || fail "ampero --report on the sample failed"

# The window program, offscreen on a simulated battery: still running after
# three seconds (timeout's 124), and no plugin that failed to load.
status=0
in_root env AMPERO_FAKE_SYSTEM=1 QT_QPA_PLATFORM=offscreen timeout 3 ampero --power-source sim:2 \
  >"$work/gui.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || { cat "$work/gui.log" >&2; fail "the window program ended with $status within three seconds"; }
if grep -iE "cannot load|could not (load|find)|failed to load" "$work/gui.log" >&2; then
  fail "the window program could not load a part of Qt"
fi

desktop=/usr/share/applications/org.orvex.ampero.desktop
grep -qx "Exec=ampero %f" "$root$desktop" || fail "$desktop does not start ampero with a file"
grep -qx "MimeType=application/x-orvex-ampero-results;" "$root$desktop" || fail "$desktop lacks its MIME type"
for icon in 16x16/apps/org.orvex.ampero.png 32x32/apps/org.orvex.ampero.png 48x48/apps/org.orvex.ampero.png \
  scalable/apps/org.orvex.ampero.svg scalable/mimetypes/application-x-orvex-ampero-results.svg; do
  [ -f "$root/usr/share/icons/hicolor/$icon" ] || fail "the icon $icon is missing"
done
# The type by name, and by content alone (the magic bytes) for a file without the extension.
cp "$root/root/sample.apr" "$root/root/sample-without-extension"
for f in sample.apr sample-without-extension; do
  type=$(in_root sh -c "cd /root && xdg-mime query filetype $f")
  [ "$type" = application/x-orvex-ampero-results ] || fail "xdg-mime says $f is $type"
done
app=$(in_root xdg-mime query default application/x-orvex-ampero-results)
[ "$app" = org.orvex.ampero.desktop ] || fail "results files open with '$app', not the program"
in_root man -w ampero >/dev/null || fail "man -w ampero finds no manual page"
in_root sh -c 'MANWIDTH=80 man ampero 2>&1 >/dev/null' | grep . >&2 && fail "man ampero warns"
echo "install-check: $(basename "$deb") installs on Debian 12 and works"
