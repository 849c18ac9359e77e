#!/bin/sh
# Cross-builds the test suite for Windows and runs it under Wine with the offscreen
# platform, in a fresh Wine prefix. The serial line's contract runs on the prefix's COM25
# (above 16, as Windows often numbers USB adapters), mapped to the pseudo-terminal of the
# Linux controller stand-in; COM250 stays unmapped, a port that does not exist. Tests that
# need the stand-in as a child process (it is a Unix program) are not part of the Windows
# build.
# Extra arguments go to ctest (e.g. -R tst_table).
set -eu
cd "$(dirname "$0")/../.."
TESTS=ON tools/windows/build.sh >/dev/null
tools/deps.sh wine wine64
. tools/windows/wine-env.sh
wine_workdir wine-tests
standin=
# Wine makes a window's HWND only with an X display, whatever Qt platform draws it.
wine_xvfb
trap 'wine_stop; kill $xvfb ${standin:-} 2>/dev/null || true' EXIT
wine_prefix "$out/prefix"
# Wine passes a program none of this machine's QT_* variables; the prefix's own environment
# gives them: the offscreen platform and its screens, test output on stdout rather than the
# debugger channel, and, for the offscreen platform's fonts, the prefix's font folder (where
# Carlito is). The screens' file is named without its drive (the platform's arguments are
# parted by colons): Wine finds it on drive Z:, where the tests run.
screens="offscreen:configfile=$(pwd)/tests/support/screens.json"
for setting in "QT_QPA_PLATFORM=$screens" QT_FORCE_STDERR_LOGGING=1 'QT_QPA_FONTDIR=C:\windows\Fonts'; do
    $wine64 reg add 'HKCU\Environment' /v "${setting%%=*}" /t REG_SZ /d "${setting#*=}" /f >/dev/null 2>&1
done

# As tst_serialport's standIn() expects it: a fresh image, the line dropped at the 4th frame.
wine_standin 25 "$out" --no-pacing --fault hangup@4
export BREVANE_TEST_COM=25

# The Qt and MinGW runtime DLLs, where Wine looks for them (its drive Z: is /).
qt=${QT_MINGW_PREFIX:-$HOME/.cache/brevane/qt6-mingw64}
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
export WINEPATH="Z:$qt/bin;Z:$runtime;Z:/usr/x86_64-w64-mingw32/lib"
# One Wine session for every test, not one start-up each. Its services start here, so
# that they do not hold the output pipes of the first test open.
wineserver -p >/dev/null 2>&1
$wine64 cmd /c exit >/dev/null 2>&1
start=$(date +%s)
ctest --test-dir build-windows --output-on-failure "$@"
echo "tests under Wine took $(($(date +%s) - start)) s"
