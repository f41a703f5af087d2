#!/usr/bin/env bash
# Renders the icon's PNG sizes and the Windows .ico from quillet.svg. The
# renders are kept in the repository, so that a build needs no SVG
# renderer; run this again after changing the drawing.
# Needs: librsvg2-bin (rsvg-convert) and icoutils (icotool).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
for size in 16 24 32 48 64 256; do
  rsvg-convert -w "$size" -h "$size" quillet.svg -o "$tmp/$size.png"
done
cp "$tmp/48.png" quillet-48.png
cp "$tmp/256.png" quillet-256.png
icotool -c -o quillet.ico "$tmp"/{16,24,32,48,64}.png -r "$tmp/256.png"
