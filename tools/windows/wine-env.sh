# Sourced by the Wine scripts: a fresh 64-bit Wine prefix and helpers around it.
#   wine_prefix DIR    makes DIR a fresh prefix (Carlito standing in for Calibri)
#   wine_com N PATH    maps COMn of the prefix to the Unix device PATH
#   wine_stop          ends every process of the prefix
#   wine_workdir NAME  builds the Linux controller stand-in and brevane-cli, and makes
#                      build-windows/NAME afresh, as $out
#   wine_xvfb          starts Xvfb (1280 x 1024) on a free display, as DISPLAY; $xvfb its pid
#   wine_window TITLE  waits up to a minute for a window of exactly that title and prints
#                      its id; nothing when none comes
#   wine_standin N DIR [ARG...]
#                      starts the Linux controller stand-in with the arguments, its line's path
#                      in DIR/simN.out and its log in DIR/simN.log, home DIR; maps COMn of the
#                      prefix to its line; $standin its pid
wine64=/usr/lib/wine/wine64 # Debian's "wine" wrapper asks for the 32-bit Wine
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer dialogs

wine_prefix() {
    export WINEPREFIX="$1"
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    $wine64 wineboot -i >/dev/null 2>&1
    cp /usr/share/fonts/truetype/crosextra/Carlito-*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    $wine64 reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
        /v Calibri /t REG_SZ /d Carlito /f >/dev/null 2>&1
    wine_stop
}

# Wine makes its COM ports from this key when it starts, replacing hand-made links.
wine_com() {
    $wine64 reg add 'HKLM\Software\Wine\Ports' /v "COM$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1
    wine_stop
}

wine_stop() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

# Xvfb picks a free display itself and names it once it listens, so two runs never share one.
wine_xvfb() {
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 3>"$displayfile" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do
        [ -s "$displayfile" ] && break
        sleep 0.1
    done
    export DISPLAY=:$(head -n 1 "$displayfile")
    rm -f "$displayfile"
    [ "$DISPLAY" != : ] || { echo "Xvfb did not start" >&2; return 1; }
}

wine_window() {
    for _ in $(seq 120); do
        xdotool search --name "^$1\$" 2>/dev/null | head -n 1 | grep . && return 0
        sleep 0.5
    done
    return 0
}

wine_standin() {
    number=$1
    dir=$2
    shift 2
    HOME="$dir" build/nc-sim/brevane-nc-sim "$@" >"$dir/sim$number.out" 2>"$dir/sim$number.log" &
    standin=$!
    for _ in $(seq 50); do
        [ -s "$dir/sim$number.out" ] && break
        sleep 0.2
    done
    line=$(head -n 1 "$dir/sim$number.out")
    case "$line" in
    /dev/*) wine_com "$number" "$line" ;;
    *)
        echo "the stand-in for COM$number printed no line" >&2
        return 1
        ;;
    esac
}

wine_workdir() {
    cmake --preset linux >/dev/null
    cmake --build build --target brevane-nc-sim brevane-cli >/dev/null
    out=$(pwd)/build-windows/$1
    rm -rf "$out"
    mkdir -p "$out"
}
