#!/bin/sh
# Builds the Debian package (build-package/brevane_<version>_<arch>.deb) and checks it:
# lintian errors, the files it carries, its dependencies against this system's apt, and
# the installed program starting from a throwaway root, its manual pages, MIME type and
# software-centre entry.
set -eu
cd "$(dirname "$0")/.."
tools/deps.sh dpkg-dev lintian desktop-file-utils help2man appstream shared-mime-info poppler-utils
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DBREVANE_BUILD_TESTS=OFF -DBREVANE_BUILD_BENCH=OFF -DBREVANE_MAN_PAGES=ON >/dev/null
cmake --build build-package
(cd build-package && rm -f brevane_*.deb && cpack >/dev/null)
deb=$(ls build-package/brevane_*.deb)
echo "== $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'

echo "== lintian"
lintian --fail-on error "$deb"

echo "== contents"
root=$(mktemp -d)
home=$(mktemp -d)
trap 'rm -rf "$root" "$home"' EXIT
dpkg-deb -x "$deb" "$root"
for f in usr/bin/brevane usr/bin/brevane-nc-sim usr/bin/brevane-cli \
    usr/share/applications/brevane.desktop usr/share/applications/brevane.site-record.desktop \
    usr/share/icons/hicolor/scalable/apps/brevane.svg \
    usr/share/doc/brevane/copyright usr/share/mime/packages/brevane.xml \
    usr/share/metainfo/invalid.example.brevane.metainfo.xml \
    usr/share/man/man1/brevane.1.gz usr/share/man/man1/brevane-cli.1.gz \
    usr/share/man/man1/brevane-nc-sim.1.gz; do
    [ -e "$root/$f" ] || { echo "missing from the package: $f"; exit 1; }
done
desktop-file-validate "$root/usr/share/applications/brevane.desktop" \
    "$root/usr/share/applications/brevane.site-record.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/invalid.example.brevane.metainfo.xml"
# The MIME type compiles, and *.brv is ours in either case (no :cs flag).
XDG_DATA_DIRS="$root/usr/share" update-mime-database "$root/usr/share/mime"
grep -qx "50:application/x-orvik-brevane:\*\.brv" "$root/usr/share/mime/globs2" ||
    { echo "*.brv is not application/x-orvik-brevane"; exit 1; }
# *.BRV files open in the window on a double-click (the first entry for the type), and
# offer "Site record (PDF)" (brevane --report) beside it.
update-desktop-database "$root/usr/share/applications"
grep -qx "application/x-orvik-brevane=brevane.desktop;brevane.site-record.desktop;" \
    "$root/usr/share/applications/mimeinfo.cache" ||
    { echo "brevane.desktop is not the first entry for *.BRV files"; exit 1; }
grep -qx "Exec=brevane --report %f" "$root/usr/share/applications/brevane.site-record.desktop" ||
    { echo "the site record entry does not run brevane --report"; exit 1; }
if ldd "$root/usr/bin/brevane" "$root/usr/bin/brevane-nc-sim" "$root/usr/bin/brevane-cli" | grep "not found"; then
    echo "libraries the package does not bring in (above)"
    exit 1
fi

echo "== dependencies resolve"
apt-get install --simulate --no-install-recommends "./$deb" >/dev/null

echo "== the installed program starts"
status=0
HOME="$home" QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/brevane" || status=$?
# Still running when the time ran out (124) means it started and showed its window.
[ "$status" -eq 124 ] || { echo "brevane ended with status $status"; exit 1; }
"$root/usr/bin/brevane-nc-sim" --help >/dev/null
"$root/usr/bin/brevane-cli" --help >/dev/null
# A site record needs no display: the offscreen platform of the package's Qt draws it.
head -c 576 /dev/zero >"$home/SITE.BRV"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$home" \
    "$root/usr/bin/brevane-cli" report "$home/SITE.BRV" >/dev/null
[ "$(pdfinfo "$home/SITE.pdf" | sed -n 's/^Pages: *//p')" = 1 ] ||
    { echo "brevane-cli report made no one-page SITE.pdf"; exit 1; }
version=$(dpkg-deb -f "$deb" Version)
for program in brevane brevane-cli brevane-nc-sim; do
    [ "$("$root/usr/bin/$program" --version)" = "$program $version" ] ||
        { echo "$program --version does not say $version"; exit 1; }
done
echo "package good: $deb"
