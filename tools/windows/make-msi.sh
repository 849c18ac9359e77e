#!/bin/sh
# Builds the Windows installer from the zip's folder with wixl: every file of the zip into
# Program Files\Orvik Brevane, per machine (packaging/windows/brevane.wxs says the rest).
#   make-msi.sh FOLDER [OUTPUT]   FOLDER: build-windows/zip/Orvik-Brevane-<version>-win64
#                                 OUTPUT: default build-windows/Orvik-Brevane-<version>-win64.msi
#   VERSION  the installer's version, default the one in FOLDER's name (the install test
#            makes an older installer with a lower one)
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -ge 1 ] && [ -d "$1" ] || { echo "usage: $0 FOLDER [OUTPUT]" >&2; exit 2; }
stage=$(cd "$1" && pwd)
version=${VERSION:-$(basename "$stage" | sed -n 's/^Orvik-Brevane-\(.*\)-win64$/\1/p')}
[ -n "$version" ] || { echo "no version in the folder's name: set VERSION" >&2; exit 2; }
# Installed versions below this one with its last number one higher are upgraded.
next=$(echo "$version" | awk -F. -v OFS=. '{ $NF = $NF + 1; print }')
output=${2:-$top/build-windows/Orvik-Brevane-$version-win64.msi}
output=$(cd "$(dirname "$output")" && pwd)/$(basename "$output")
"$top/tools/deps.sh" wixl msitools

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# brevane.exe has its own component in brevane.wxs: the shortcut and the association hang on it.
(cd "$stage" && find . -type f ! -path ./brevane.exe | sort) |
    wixl-heat --prefix ./ --directory-ref INSTALLDIR --component-group AppFiles \
        --var var.SourceDir --win64 >"$work/files.wxs"
# wixl finds sources only by relative paths.
cd "$work"
rm -f "$output"
status=0
wixl --arch x64 -o "$output" \
    -D Version="$version" -D NextVersion="$next" -D Win64=yes \
    -D SourceDir="$(realpath --relative-to=. "$stage")" \
    -D IconFile="$(realpath --relative-to=. "$top/packaging/windows/brevane.ico")" \
    "$top/packaging/windows/brevane.wxs" files.wxs 2>wixl.log || status=$?
# wixl 0.101 calls the plain shortcut "unimplemented", yet writes it.
grep -v 'builder.vala:[0-9]*: unimplemented$' wixl.log >&2 || true
[ $status = 0 ] && [ -s "$output" ] || { echo "wixl failed (status $status)" >&2; exit 1; }
