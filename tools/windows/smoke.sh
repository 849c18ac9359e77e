#!/bin/sh
# Starts the Windows zip under Wine, as a user would, against two Linux controller
# stand-ins on the Wine prefix's COM1 and COM2:
#   - brevane.exe --version, --help and a wrong argument speak in the prompt's console;
#   - the window, its size and its working folder;
#   - the window's own Upload from COM1, then COM2 chosen and Download to it: COM2 then
#     holds COM1's table. Any "Port Error" or "Error" box fails the test;
#   - COM1's stand-in ends (its line hangs up), and the window still takes input;
#   - brevane-cli.exe downloading to and uploading from COM2, and pinging it;
#   - brevane-cli.exe report: its PDF reads as the Linux build's of the same file;
#   - the window at 150 % on a 1280 x 1024 screen: too large whole, it fits the screen and
#     scrolls.
# Run tools/windows/build.sh first. Leaves build-windows/smoke/mainwindow-wine.png for a
# look beside docs/mainwindow.png.
set -eu
cd "$(dirname "$0")/../.."
tools/deps.sh wine wine64 unzip xdotool poppler-utils
zip=$(ls build-windows/Orvik-Brevane-*-win64.zip 2>/dev/null | head -n 1)
[ -n "$zip" ] || { echo "no zip in build-windows/: run tools/windows/build.sh first" >&2; exit 2; }
. tools/windows/wine-env.sh
wine_workdir smoke
sims=
wine_xvfb
trap 'wine_stop; kill $xvfb $sims 2>/dev/null || true' EXIT
fail() {
    echo "FAIL: $*" >&2
    [ -z "${window:-}" ] || import -window root "$out/failed.png" 2>/dev/null || true
    exit 1
}

# 576 bytes, every field a different value, the key characters printable; $1 varies them.
table() {
    i=0
    while [ $i -lt 576 ]; do
        if [ $((i % 9)) = 8 ]; then v=$((65 + (i / 9 + $1) % 26)); else v=$(((i * 37 + 11 + $1) % 256)); fi
        printf "\\$(printf %o $v)"
        i=$((i + 1))
    done
}

# Starts a stand-in keeping its table in $out/COM<n>.BRV and maps COM<n> of the prefix to it.
start_sim() {
    wine_standin "$1" "$out" --state "$out/COM$1.BRV" || fail "no stand-in for COM$1"
    eval "sim$1=$standin"
    sims="$sims $standin"
}

# Keys to the window, as typed. The menu bar is reached with Alt, then the arrow keys:
# File, ComPort, Download, Upload.
keys() {
    xdotool windowfocus "$window" 2>/dev/null || true
    sleep 0.3
    for key in "$@"; do
        xdotool key "$key"
        sleep 0.2
    done
}

# Waits for a message box and closes it; fails unless its title is $1.
answer_box() {
    box=
    for _ in $(seq 60); do
        for title in "$1" Error "Port Error" "Orvik Brevane"; do
            box=$(xdotool search --name "^$title\$" 2>/dev/null | head -n 1) && [ -n "$box" ] && break 2
        done
        sleep 0.5
    done
    [ -n "$box" ] || fail "no \"$1\" box"
    [ "$title" = "$1" ] || fail "a \"$title\" box instead of \"$1\""
    xdotool windowfocus "$box" 2>/dev/null || true
    sleep 0.3
    xdotool key Return
    for _ in $(seq 20); do
        xdotool search --name "^$1\$" >/dev/null 2>&1 || break
        sleep 0.25
    done
    echo "\"$1\" box shown and closed"
}

echo "== a fresh Wine prefix with the zip unpacked"
wine_prefix "$out/prefix"
unzip -q "$zip" -d "$WINEPREFIX/drive_c/Program Files"
folder="C:\\Program Files\\$(basename "$zip" .zip)"
app="$folder\\brevane.exe"

echo "== two stand-ins: COM1 holds SITE.BRV, COM2 a table of its own"
table 0 >"$out/SITE.BRV"
table 7 >"$out/OTHER.BRV"
cp "$out/SITE.BRV" "$out/COM1.BRV"
cp "$out/OTHER.BRV" "$out/COM2.BRV"
start_sim 1
start_sim 2
# A line that hangs up sends SIGHUP to the Wine server, which holds it as its controlling
# terminal, and the server dumps its objects to its standard error: never to a pipe
# nobody reads, or every Wine process waits on that pipe.
wineserver -p >/dev/null 2>&1

echo "== brevane.exe --version, --help and a wrong argument, from a command prompt"
# "start /wait" gives the program no standard handles, as a prompt does on Windows; script
# gives the prompt a console, one large enough that the help neither wraps nor scrolls (the
# console redraws what scrolls, and a busy machine then showed only its last lines).
# The prompt starts in the program's folder: Wine takes its current folder from ours.
prompt() {
    (cd "$WINEPREFIX/drive_c/Program Files/$(basename "$zip" .zip)" &&
        script -qc "stty rows 100 cols 200; $wine64 cmd /c 'start /wait brevane.exe $1'" /dev/null) |
        tr -d '\r' | sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g'
}
said=$(prompt --version)
[ "$said" = "brevane $(basename "$zip" -win64.zip | sed 's/^Orvik-Brevane-//')" ] ||
    fail "--version said \"$said\""
prompt --help | grep -q '^Usage: brevane \[FILE.BRV\]' || fail "--help said nothing"
prompt --bogus | grep -q "^brevane: Unknown option 'bogus'" || fail "a wrong argument said nothing"
echo "the prompt shows \"$said\", the help and the complaint"

# Starts brevane.exe (its output into $1) and waits until its window has painted; then
# $window, $width, $height, $left and $top. Without a window manager Wine's X window is the
# window's client area, the Qt menu bar included, as docs/mainwindow.png is.
start_window() {
    $wine64 "$app" >"$1" 2>&1 &
    window=$(wine_window 'Orvik Brevane Rev 01')
    [ -n "$window" ] || fail "no window titled \"Orvik Brevane Rev 01\""
    sleep 3 # let it paint
    eval "$(xwininfo -id "$window" | awk '/Absolute upper-left X/{print "left=" $4} /Absolute upper-left Y/{print "top=" $4} /Width:/{print "width=" $2} /Height:/{print "height=" $2}')"
}

echo "== brevane.exe"
start_window "$out/brevane.log"
geometry=${width}x$height+$left+$top
import -window root -crop "$geometry" +repage "$out/mainwindow-wine.png"
echo "window \"Orvik Brevane Rev 01\": ${width}x$height, a menu bar of $((height - 585)) px above 1001x585"
echo "screenshot $out/mainwindow-wine.png (docs/mainwindow.png: $(identify -format %wx%h docs/mainwindow.png))"
[ "$width" = 1001 ] && [ "$height" -gt 585 ] && [ "$height" -le 615 ] ||
    fail "client area ${width}x$height: not 1001 wide, or no room for 585 below a menu bar"
[ -d "$WINEPREFIX/drive_c/Orvik Tessaly Net/Brevane" ] || fail "no C:\\Orvik Tessaly Net\\Brevane"
echo "C:\\Orvik Tessaly Net\\Brevane exists"

echo "== the window: Upload from COM1, COM2 chosen, Download to COM2"
keys alt Right Right Right Return
answer_box Upload
keys alt Right Down Down Return # ComPort, COM2
keys alt Right Right Return
answer_box Download
cmp "$out/COM2.BRV" "$out/SITE.BRV" || fail "COM2's stand-in does not hold COM1's table"
echo "COM2's stand-in holds COM1's table"

echo "== COM1's line hangs up: the window still takes input"
kill "$sim1"
wait "$sim1" 2>/dev/null || true
sleep 2
keys alt Right Right Return # Download to COM2 again
answer_box Download
xdotool windowclose "$window" 2>/dev/null || true
window=
wine_stop

echo "== brevane-cli.exe download and upload through COM2"
data="$WINEPREFIX/drive_c/smoke"
mkdir -p "$data"
cp "$out/OTHER.BRV" "$data/SITE.BRV"
$wine64 "$folder\\brevane-cli.exe" download 'C:\smoke\SITE.BRV' --port 2 || fail "download: status $?"
$wine64 "$folder\\brevane-cli.exe" upload 'C:\smoke\BACK.BRV' --port 2 || fail "upload: status $?"
cmp "$data/SITE.BRV" "$data/BACK.BRV" || fail "BACK.BRV differs from SITE.BRV"
echo "BACK.BRV equals SITE.BRV ($(grep -c ' in  #' "$out/sim2.log") frames received by COM2's stand-in)"
$wine64 "$folder\\brevane-cli.exe" ping --port 2 --count 10 >"$out/ping.txt" || fail "ping: status $?"
tr -d '\r' <"$out/ping.txt"
grep -q 'Every reply came promptly' "$out/ping.txt" || fail "ping: the perfect line's replies came late"

echo "== brevane-cli.exe report: the PDF reads as the Linux build's"
cmake --build build --target brevane-cli >/dev/null
mkdir -p "$out/linux"
cp -p "$data/SITE.BRV" "$out/linux/SITE.BRV"
$wine64 "$folder\\brevane-cli.exe" report 'C:\smoke\SITE.BRV' --keys --paper letter >/dev/null ||
    fail "report: status $?"
build/cli/brevane-cli report "$out/linux/SITE.BRV" --keys --paper letter >/dev/null
# Each line's words one space apart; the folder and the minute of printing differ.
words() { pdftotext -layout "$1" - | sed 's/  */ /g; s/^ //; /^ *$/d; /^Folder /d; /^Printed /d'; }
words "$data/SITE.pdf" >"$out/report-wine.txt"
words "$out/linux/SITE.pdf" >"$out/report-linux.txt"
diff -u "$out/report-linux.txt" "$out/report-wine.txt" >&2 || fail "the PDF's text differs from Linux's"
pdffonts "$data/SITE.pdf" | grep -q '^[A-Z]*+*Carlito.* yes ' || fail "the PDF does not embed Carlito"
echo "SITE.pdf: $(grep -c . "$out/report-wine.txt") lines as on Linux, $(pdfinfo "$data/SITE.pdf" | sed -n 's/^Pages: *//p') pages, Carlito embedded"

echo "== the window at 150 % (144 dpi) on a 1280 x 1024 screen"
$wine64 reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
wine_stop
start_window "$out/brevane-150.log"
import -window root "$out/mainwindow-wine-150.png"
echo "window at 150 %: ${width}x$height at $left,$top (whole, it would be about 1502x911)"
echo "screenshot $out/mainwindow-wine-150.png"
[ "$left" -ge 0 ] && [ "$top" -ge 0 ] && [ $((left + width)) -le 1280 ] && [ $((top + height)) -le 1024 ] ||
    fail "the window at 150 % does not fit the screen"
[ "$width" -gt 1200 ] || fail "the window at 150 % does not use the screen's width"
echo "smoke test passed"
