#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# compare_screenshot.sh PROGRAM OUTDIR: starts the program with three results
# files under Xvfb (the first opened, the other two compared with it), closes
# the first one's results window and photographs the screen: the chart with
# three curves and their legend, the comparison table beside it. The picture
# is OUTDIR/compare.png, for a person to look at; it must not be blank.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
program="$1"
out="$2"
mkdir -p "$out"
python3 - "$out" <<'PY'
import struct, sys
def write(name, noload, forecast, samples):
    b = b'\x03APR' + bytes([2, noload]) + struct.pack('<I', forecast) + bytes(samples) + b'\xff'
    open(f'{sys.argv[1]}/{name}', 'wb').write(b + struct.pack('<IQ', 48000, 10**12))
write('full-load.apr', 0, 10800, [max(0, 100 - k * 100 // 10800) for k in range(10800)])
n = 19800
write('no-load.apr', 1, 21600,
      [100 if k < 0.08 * n else max(0, int(100 - 100 * ((k / n - 0.08) / 0.92) ** 1.3)) for k in range(n)])
n = 15100
write('last-year.apr', 0, 18000, [max(0, int(97 - 97 * (k / n) ** 0.9)) for k in range(n)])
PY
rm -f "$out/compare.png"
cd "$out"
AMPERO_XVFB_SCREEN=1500x560x24 AMPERO_POWER_SOURCE=sim:60 QT_QPA_PLATFORM=xcb timeout 60 \
  sh "$here/support/with-xvfb.sh" sh -c '
    "$0" full-load.apr no-load.apr last-year.apr &
    app=$!
    sleep 3
    xdotool search --name "Testing results" windowclose || true
    sleep 1.5
    import -window root compare.png
    kill "$app"; wait "$app" || true' "$program"
colours=$(identify -format '%k' compare.png)
echo "$out/compare.png $colours colours"
[ "$colours" -ge 16 ]
