#!/bin/sh
# Makes docs/mainwindow.png, the real window under Xvfb cut out of the screen, and
# docs/mainwindow-150.png, the whole 1280 x 800 screen with the window at 150 % on it:
# too large whole, it fills the screen and scrolls. Then docs/site-record.png, page 1 of
# the site record of a sample hall as poppler renders it.
set -eu
cd "$(dirname "$0")/.."
tools/deps.sh poppler-utils
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

# A hall with a few links of each kind, both keys set.
site="$home/Orvik Tessaly Net/Brevane/Hall 2.BRV"
mkdir -p "$(dirname "$site")"
python3 - "$site" <<'PY'
import sys
cnf = bytearray(576)
def link(number, fields):
    cnf[(number - 1) * 9:(number - 1) * 9 + len(fields)] = bytes(fields)
link(1, [1, 0, 0, 0, 1, 0])            # the NC's own station 01, and incoming from it
link(2, [1, 0, 1, 4])                  # QD PC 05
for n in range(3, 7):                  # relays 01-08 to 25-32 on node 12
    link(n, [1, 0x12, 2, n - 3])
link(7, [1, 0x1A, 0, 0x0B, 1, 0x0B])
link(8, [1, 0x1A, 2, 7])
link(9, [0, 0x20, 0, 3, 1, 0x20])
link(17, [0, 0, 0, 0, 1, 0x2F])
for k, c in enumerate(b"Hall2"):
    cnf[k * 9 + 8] = c
for k, c in enumerate(b"Tessaly"):
    cnf[(8 + k) * 9 + 8] = c
open(sys.argv[1], "wb").write(cnf)
PY
record=docs/site-record.png
build/cli/brevane-cli report "$site" --paper a4 >/dev/null
pdftoppm -png -r 80 -f 1 -l 1 -singlefile "${site%.BRV}.pdf" "${record%.png}"
echo "wrote $record (page 1 of the site record of $(basename "$site"))"
