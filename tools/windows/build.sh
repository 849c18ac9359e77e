#!/bin/sh
# Cross-builds brevane.exe and brevane-cli.exe for 64-bit Windows with MinGW-w64 and the
# Qt that tools/windows/build-qt.sh made, checks that each carries its icon, version and
# manifest, packs them with every DLL they load into
# build-windows/Orvik-Brevane-<version>-win64.zip, checking that nothing is missing, and
# makes the installer build-windows/Orvik-Brevane-<version>-win64.msi of the same files.
#   TESTS=ON        also builds the test programs (tools/windows/test-wine.sh runs them)
#   QT_MINGW_PREFIX the MinGW Qt (default ~/.cache/brevane/qt6-mingw64)
#   BREVANE_SIGN_PFX, BREVANE_SIGN_PASSWORD_FILE, BREVANE_SIGN_TIMESTAMP_URL
#                   the publisher's code-signing certificate, the file holding its password
#                   and a time-stamp service (tools/windows/sign.sh): both programs are
#                   signed before they are packed, then the installer, and all three
#                   signatures are verified (tools/windows/check-signatures.py). Without a
#                   certificate the build is unsigned.
#   PACK_ONLY=1     packs the programs built before once more, without configuring or
#                   compiling (tools/windows/sign-test.sh)
#   PACK_DIR        where the zip's folder, the zip and the installer go (default build-windows)
set -eu
# The certificate's files named relative to where this was started, not to the checkout.
case ${BREVANE_SIGN_PFX:-/} in /*) ;; *) export BREVANE_SIGN_PFX="$PWD/$BREVANE_SIGN_PFX" ;; esac
case ${BREVANE_SIGN_PASSWORD_FILE:-/} in
/*) ;;
*) export BREVANE_SIGN_PASSWORD_FILE="$PWD/$BREVANE_SIGN_PASSWORD_FILE" ;;
esac
cd "$(dirname "$0")/../.."
qt=${QT_MINGW_PREFIX:-$HOME/.cache/brevane/qt6-mingw64}
tests=${TESTS:-OFF}
if [ ! -f "$qt/.complete" ]; then
    echo "No MinGW Qt in $qt: run tools/windows/build-qt.sh first" >&2
    exit 2
fi
pfx=${BREVANE_SIGN_PFX:-}
tools/deps.sh g++-mingw-w64-x86-64-posix zip python3-pefile ${pfx:+osslsigncode}
out=build-windows
dest=${PACK_DIR:-$out}
compile=yes
[ "${PACK_ONLY:-}" = 1 ] && compile=no
if [ $compile = yes ]; then
    launcher=
    command -v ccache >/dev/null && launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
    cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release $launcher \
        -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$(pwd)/tools/windows/mingw64.cmake" \
        -DCMAKE_CROSSCOMPILING_EMULATOR=/usr/lib/wine/wine64 \
        -DBREVANE_BUILD_TESTS="$tests" -DBREVANE_BUILD_BENCH=OFF >/dev/null
elif [ ! -f "$out/brevane.exe" ] || [ ! -f "$out/brevane-cli.exe" ]; then
    echo "PACK_ONLY: no programs built in $out: run tools/windows/build.sh first" >&2
    exit 2
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/CMakeCache.txt")
name=Orvik-Brevane-$version-win64
stage=$dest/zip/$name
# Whatever fails from here on leaves no zip or installer of an earlier build behind.
rm -rf "$dest/zip" "$dest/$name.zip" "$dest/$name.msi"
mkdir -p "$dest"
# The certificate and its password are checked before compiling, not after.
if [ -n "$pfx" ]; then
    certs=$(mktemp -d)
    trap 'rm -rf "$certs"' EXIT
    tools/windows/sign.sh --check "$certs"
else
    echo "unsigned: BREVANE_SIGN_PFX names no certificate, so neither program nor the installer is signed"
fi
# A signing that fails leaves nothing of this build: no half-signed file is ever packed.
sign() {
    tools/windows/sign.sh "$@" && return 0
    rm -rf "$dest/zip" "$dest/$name.zip" "$dest/$name.msi"
    echo "signing failed: no zip or installer made" >&2
    exit 1
}

if [ $compile = yes ]; then
    if [ "$tests" = ON ]; then
        cmake --build "$out" -j"${JOBS:-2}"
    else
        cmake --build "$out" -j"${JOBS:-2}" --target brevane brevane-cli
    fi
fi

mkdir -p "$stage/platforms" "$stage/styles"
for exe in brevane.exe brevane-cli.exe; do
    cp "$out/$exe" "$stage/" # where the Qt toolchain puts every program
done
for dll in Qt6Core Qt6Gui Qt6Widgets; do
    cp "$qt/bin/$dll.dll" "$stage/"
done
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
cp "$runtime/libstdc++-6.dll" "$runtime/libgcc_s_seh-1.dll" \
    /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$stage/"
find "$stage" -name '*.exe' -o -name '*.dll' | xargs x86_64-w64-mingw32-strip --strip-unneeded
# Explorer's icon and Properties, and Windows' reading of the manifest, see these files.
tools/windows/check-resources.py "$version" "$stage/brevane.exe" "$stage/brevane-cli.exe"
# Signed before packing, so that the zip and the installer carry the signed programs.
[ -z "$pfx" ] || sign "$stage/brevane.exe" "$stage/brevane-cli.exe"
sed 's/$/\r/' >"$stage/README.txt" <<TXT
Orvik Brevane $version for 64-bit Windows

Start brevane.exe. It needs no installation: keep this folder together,
anywhere you like. At its first start it creates the folder
C:\\Orvik Tessaly Net\\Brevane, where the file dialogs start.

The ComPort menu offers the system's own serial ports COM1 to COM16
(a USB serial adapter shows its number in the Device Manager under
"Ports (COM & LPT)"). The line runs at 38400 baud, 8N1.

brevane-cli.exe does from a command prompt what the window does, and
more: show, diff, report, download, upload, verify, compare, ping and ports
(brevane-cli help lists them; brevane-cli help COMMAND tells one).
TXT

# Every DLL imported by a file of the zip is in the zip or belongs to Windows.
system_dlls=" advapi32 api-ms-win-* authz bcrypt comctl32 comdlg32 crypt32 d2d1 d3d11 d3d12 d3d9 dcomp dwmapi
 dwrite dxgi gdi32 imm32 kernel32 mpr msvcrt netapi32 ntdll ole32 oleaut32 psapi rpcrt4 setupapi
 shcore shell32 shlwapi user32 userenv usp10 uxtheme version winmm winspool.drv ws2_32 wtsapi32 "
missing=0
for file in $(find "$stage" -name '*.exe' -o -name '*.dll'); do
    for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
        lower=$(echo "$dll" | tr 'A-Z' 'a-z')
        [ -n "$(find "$stage" -iname "$dll")" ] && continue
        found=0
        for system in $system_dlls; do
            case "$lower" in $system | $system.dll) found=1 ;; esac
        done
        if [ $found = 0 ]; then
            echo "missing from the zip: $dll (imported by ${file#$stage/})" >&2
            missing=1
        fi
    done
done
[ $missing = 0 ]

(cd "$dest/zip" && zip -q -r -X "../$name.zip" "$name")
echo "wrote $dest/$name.zip ($(du -k "$dest/$name.zip" | cut -f1) KB):"
(cd "$dest/zip" && find "$name" -type f | sort | sed 's/^/  /')

start=$(date +%s%N)
tools/windows/make-msi.sh "$stage" "$dest/$name.msi"
[ -z "$pfx" ] || sign "$dest/$name.msi"
echo "wrote $dest/$name.msi ($(du -k "$dest/$name.msi" | cut -f1) KB) in $((($(date +%s%N) - start) / 1000000)) ms"

# All three signed by the given certificate and verifying, or nothing of this build is kept.
if [ -n "$pfx" ] && ! tools/windows/check-signatures.py --signer "$certs/signer.pem" \
    --ca "$certs/certs.pem" ${BREVANE_SIGN_TIMESTAMP_URL:+--timestamped} \
    "$stage/brevane.exe" "$stage/brevane-cli.exe" "$dest/$name.msi"; then
    rm -rf "$dest/zip" "$dest/$name.zip" "$dest/$name.msi"
    echo "the signatures do not hold: zip and installer removed" >&2
    exit 1
fi
