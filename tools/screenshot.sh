#!/bin/sh
# Makes docs/mainwindow.png, the real window under Xvfb cut out of the screen, and
# docs/mainwindow-150.png, the whole 1280 x 800 screen with the window at 150 % on it:
# too large whole, it fills the screen and scrolls.
set -eu
cd "$(dirname "$0")/.."
tools/deps.sh
cmake --preset linux >/dev/null
cmake --build build >/dev/null
out=${1:-docs/mainwindow.png}
scaled=${2:-docs/mainwindow-150.png}
mkdir -p "$(dirname "$out")" "$(dirname "$scaled")"
home=$(mktemp -d)
display=:$((90 + $$ % 100))
Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
app=
trap 'kill $xvfb $app 2>/dev/null; rm -rf "$home"' EXIT
sleep 1
# Shows the window at a scale and waits for it; geometry then prints where it is.
show() {
    HOME="$home" DISPLAY="$display" QT_SCALE_FACTOR=$1 build/app/brevane >/dev/null 2>&1 &
    app=$!
    sleep 2
}
# No window manager runs here, so the window has no frame: its geometry is the window.
geometry() {
    DISPLAY="$display" xwininfo -name "Orvik Brevane Rev 01" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width/{w=$2} /Height/{h=$2} END{printf "%dx%d+%d+%d", w, h, x, y}'
}
show 1
DISPLAY="$display" import -window root -crop "$(geometry)" +repage "$out"
echo "wrote $out ($(geometry))"
kill $app
show 1.5
DISPLAY="$display" import -window root "$scaled"
echo "wrote $scaled (the window at 150 %: $(geometry))"
kill $app
app=
