#!/bin/sh
# Builds the Debian package (build-package/brevane_<version>_<arch>.deb) and checks it:
# lintian errors, the files it carries, its dependencies against this system's apt, and
# the installed program starting from a throwaway root.
set -eu
cd "$(dirname "$0")/.."
tools/deps.sh dpkg-dev lintian desktop-file-utils
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBREVANE_BUILD_TESTS=OFF -DBREVANE_BUILD_BENCH=OFF >/dev/null
cmake --build build-package
(cd build-package && rm -f brevane_*.deb && cpack >/dev/null)
deb=$(ls build-package/brevane_*.deb)
echo "== $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'

echo "== lintian"
lintian --fail-on error "$deb"

echo "== contents"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for f in usr/bin/brevane usr/bin/brevane-nc-sim usr/bin/brevane-cli \
    usr/share/applications/brevane.desktop usr/share/icons/hicolor/scalable/apps/brevane.svg \
    usr/share/doc/brevane/copyright; do
    [ -e "$root/$f" ] || { echo "missing from the package: $f"; exit 1; }
done
desktop-file-validate "$root/usr/share/applications/brevane.desktop"
if ldd "$root/usr/bin/brevane" "$root/usr/bin/brevane-nc-sim" "$root/usr/bin/brevane-cli" | grep "not found"; then
    echo "libraries the package does not bring in (above)"
    exit 1
fi

echo "== dependencies resolve"
apt-get install --simulate --no-install-recommends "./$deb" >/dev/null

echo "== the installed program starts"
home=$(mktemp -d)
status=0
HOME="$home" QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/brevane" || status=$?
rm -rf "$home"
# Still running when the time ran out (124) means it started and showed its window.
[ "$status" -eq 124 ] || { echo "brevane ended with status $status"; exit 1; }
"$root/usr/bin/brevane-nc-sim" --help >/dev/null
"$root/usr/bin/brevane-cli" --help >/dev/null
echo "package good: $deb"
