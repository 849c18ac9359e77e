#!/bin/sh
# Starts the Windows zip under Wine, as a user would: the window and its working folder,
# then brevane-cli.exe downloading to and uploading from the Linux controller stand-in
# through the Wine prefix's COM1. Run tools/windows/build.sh first.
# Leaves build-windows/smoke/mainwindow-wine.png for a look beside docs/mainwindow.png.
set -eu
cd "$(dirname "$0")/../.."
tools/deps.sh wine wine64 unzip xdotool
zip=$(ls build-windows/Orvik-Brevane-*-win64.zip 2>/dev/null | head -n 1)
[ -n "$zip" ] || { echo "no zip in build-windows/: run tools/windows/build.sh first" >&2; exit 2; }
# The stand-in is a Linux program.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target brevane-nc-sim >/dev/null
. tools/windows/wine-env.sh

out=build-windows/smoke
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
display=:$((190 + $$ % 100))
Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
sim=
trap 'wine_stop; kill $xvfb ${sim:-} 2>/dev/null || true' EXIT
export DISPLAY="$display"
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

echo "== a fresh Wine prefix with the zip unpacked"
wine_prefix "$out/prefix"
unzip -q "$zip" -d "$WINEPREFIX/drive_c/Program Files"
app="C:\\Program Files\\$(basename "$zip" .zip)"

echo "== the stand-in on a pseudo-terminal, as COM1"
HOME="$out" build/tools/nc-sim/brevane-nc-sim >"$out/sim.out" 2>"$out/sim.log" &
sim=$!
for _ in $(seq 50); do
    [ -s "$out/sim.out" ] && break
    sleep 0.2
done
line=$(head -n 1 "$out/sim.out")
case "$line" in /dev/*) ;; *) fail "the stand-in printed no line" ;; esac
wine_com 1 "$line"

echo "== brevane.exe"
$wine64 "$app\\brevane.exe" >"$out/brevane.log" 2>&1 &
window=
for _ in $(seq 120); do
    window=$(xdotool search --name '^Orvik Brevane Rev 01$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.5
done
[ -n "$window" ] || fail "no window titled \"Orvik Brevane Rev 01\""
sleep 3 # let it paint
# Without a window manager Wine's X window is the window's client area, the Qt menu bar
# included, as docs/mainwindow.png is.
width=$(xwininfo -id "$window" | awk '/Width:/{print $2}')
height=$(xwininfo -id "$window" | awk '/Height:/{print $2}')
geometry=$(xwininfo -id "$window" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width/{w=$2} /Height/{h=$2} END{printf "%dx%d+%d+%d", w, h, x, y}')
import -window root -crop "$geometry" +repage "$out/mainwindow-wine.png"
echo "window \"Orvik Brevane Rev 01\": ${width}x$height, a menu bar of $((height - 585)) px above 1001x585"
echo "screenshot $out/mainwindow-wine.png (docs/mainwindow.png: $(identify -format %wx%h docs/mainwindow.png))"
[ "$width" = 1001 ] && [ "$height" -gt 585 ] && [ "$height" -le 615 ] ||
    fail "client area ${width}x$height: not 1001 wide, or no room for 585 below a menu bar"
[ -d "$WINEPREFIX/drive_c/Orvik Tessaly Net/Brevane" ] || fail "no C:\\Orvik Tessaly Net\\Brevane"
echo "C:\\Orvik Tessaly Net\\Brevane exists"
xdotool windowclose "$window" 2>/dev/null || true
wine_stop

echo "== brevane-cli.exe download and upload through COM1"
data="$WINEPREFIX/drive_c/smoke"
mkdir -p "$data"
# 576 bytes: every field a different value, the key characters printable.
i=0
while [ $i -lt 576 ]; do
    if [ $((i % 9)) = 8 ]; then v=$((65 + i / 9 % 26)); else v=$(((i * 37 + 11) % 256)); fi
    printf "\\$(printf %o $v)"
    i=$((i + 1))
done >"$data/SITE.BRV"
$wine64 "$app\\brevane-cli.exe" download 'C:\smoke\SITE.BRV' --port 1 || fail "download: status $?"
$wine64 "$app\\brevane-cli.exe" upload 'C:\smoke\BACK.BRV' --port 1 || fail "upload: status $?"
cmp "$data/SITE.BRV" "$data/BACK.BRV" || fail "BACK.BRV differs from SITE.BRV"
echo "BACK.BRV equals SITE.BRV ($(grep -c ' in  #' "$out/sim.log") frames received by the stand-in)"
echo "smoke test passed"
