#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the application icon's PNG sizes from the SVG (ImageMagick).
set -e
cd "$(dirname "$0")/icons"
for s in 16 32 48; do
  convert -background none -density 384 org.orvex.Ampero.svg -resize ${s}x${s} "org.orvex.Ampero-$s.png"
done
