#!/bin/sh
# Installs the Debian packages the build, the tests and the screenshots need, only when
# some are missing. Extra package names may be given as arguments.
set -eu
packages="cmake ninja-build g++ qt6-base-dev qt6-base-private-dev qt6-serialport-dev libgl-dev fonts-crosextra-carlito xvfb xauth x11-utils imagemagick $*"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
