#!/bin/sh
# Makes docs/mainwindow.png: the real window under Xvfb, cut out of the screen.
set -eu
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build >/dev/null
out=${1:-docs/mainwindow.png}
mkdir -p "$(dirname "$out")"
home=$(mktemp -d)
display=:$((90 + $$ % 100))
Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$home"' EXIT
sleep 1
HOME="$home" DISPLAY="$display" build/app/brevane &
app=$!
sleep 2
# No window manager runs here, so the window has no frame: its geometry is the window.
geometry=$(DISPLAY="$display" xwininfo -name "Orvik Brevane Rev 01" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width/{w=$2} /Height/{h=$2} END{printf "%dx%d+%d+%d", w, h, x, y}')
DISPLAY="$display" import -window root -crop "$geometry" +repage "$out"
kill $app
echo "wrote $out ($geometry)"
