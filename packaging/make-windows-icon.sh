#!/bin/sh
# Renders brevane.svg into windows/brevane.ico, the icon of the Windows programs, their
# Start-menu shortcut and their *.BRV files: every size Explorer and the taskbar ask for at
# 100 % to 200 % scaling. Run it after changing the SVG and commit both.
set -eu
cd "$(dirname "$0")"
"${DEPS:-../tools/deps.sh}" librsvg2-bin icoutils
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
set --
for size in 16 20 24 32 40 48 64; do
    rsvg-convert -w $size -h $size brevane.svg -o "$work/$size.png"
    set -- "$@" "$work/$size.png"
done
# 256 pixels stays PNG inside the icon (Vista and later read it so); the small ones become
# bitmaps, which every reader takes.
rsvg-convert -w 256 -h 256 brevane.svg -o "$work/256.png"
icotool -c -o windows/brevane.ico "$@" -r "$work/256.png"
icotool -l windows/brevane.ico
