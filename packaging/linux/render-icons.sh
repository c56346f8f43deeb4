#!/usr/bin/env bash
# Renders the PNG icons of the hicolor theme from qm-controller.svg (needs ImageMagick with
# SVG support). The PNGs are kept in the repository, so a build needs neither.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    convert -background none -density 300 qm-controller.svg -resize "${size}x${size}" \
        -depth 8 -strip "icons/qm-controller-$size.png"
done
# The Windows program's icon: every size in one file.
convert icons/qm-controller-{16,24,32,48,64,128,256}.png ../windows/qm-controller.ico
