# Sourced by the Wine scripts: a fresh 64-bit Wine prefix and helpers around it.
#   wine_prefix DIR    makes DIR a fresh prefix (Carlito standing in for Calibri)
#   wine_com N PATH    maps COMn of the prefix to the Unix device PATH
#   wine_stop          ends every process of the prefix
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
