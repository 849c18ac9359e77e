#!/bin/sh
# Makes the Qt that the Windows cross build links: qtbase 6.4.2 from Debian's
# source package, for x86_64-w64-mingw32, with only the modules and plugins the
# program and its tests load. Installed into a cache folder outside the checkout;
# does nothing when that Qt is already there.
# A packed build of it (qt6-mingw64-6.4.2.tar.xz) is unpacked when one is found and its
# checksum holds: seconds instead of 50 to 90 minutes of building on two cores.
#   QT_MINGW_PREFIX   where to install (default ~/.cache/brevane/qt6-mingw64)
#   QT_MINGW_ARCHIVE  the packed build (default: in ../shared/windows/ beside the checkout,
#                     or in /work/shared/windows/)
#   JOBS              parallel build jobs (default 2)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
prefix=${QT_MINGW_PREFIX:-$HOME/.cache/brevane/qt6-mingw64}
work=${QT_MINGW_WORK:-$HOME/.cache/brevane/qt6-mingw64-build}
jobs=${JOBS:-2}

if [ -f "$prefix/.complete" ]; then
    echo "MinGW Qt already built in $prefix"
    exit 0
fi
start=$(date +%s)

archive_sha256=028318e71633c8e4e72fad5e8b525069dbea5247c1584878864d8b11a07b8085
archive=${QT_MINGW_ARCHIVE:-}
for candidate in "$here/../../../shared/windows" /work/shared/windows; do
    [ -n "$archive" ] || [ ! -f "$candidate/qt6-mingw64-6.4.2.tar.xz" ] ||
        archive=$candidate/qt6-mingw64-6.4.2.tar.xz
done
if [ -n "$archive" ] && [ -f "$archive" ]; then
    if echo "$archive_sha256  $archive" | sha256sum -c --status; then
        echo "unpacking $archive"
        rm -rf "$prefix.unpack"
        mkdir -p "$prefix.unpack"
        tar -xJf "$archive" -C "$prefix.unpack"
        # Its CMake and qmake files name the folder it was built into by a placeholder.
        grep -rlI --null '@QT_MINGW_PREFIX@' "$prefix.unpack/qt6-mingw64" |
            xargs -0 -r sed -i "s|@QT_MINGW_PREFIX@|$prefix|g"
        rm -rf "$prefix"
        mv "$prefix.unpack/qt6-mingw64" "$prefix"
        rmdir "$prefix.unpack"
        touch "$prefix/.complete"
        echo "MinGW Qt unpacked into $prefix in $(($(date +%s) - start)) s"
        exit 0
    fi
    echo "$archive: checksum does not hold, building from source instead" >&2
fi

sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo
apt_get() { $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 "$@"; }

# Source packages come from the same suites as the binary ones.
srclist=/etc/apt/sources.list.d/debian-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $sudo tee "$srclist" >/dev/null
fi
apt_get update -q
apt_get install -y -q --no-install-recommends dpkg-dev cmake ninja-build perl \
    g++-mingw-w64-x86-64-posix qt6-base-dev qt6-base-dev-tools

mkdir -p "$work"
cd "$work"
src=$(ls -d qt6-base-*/ 2>/dev/null | head -n 1 || true)
if [ -z "$src" ]; then
    apt-get source --download-only qt6-base
    dpkg-source -x qt6-base_*.dsc
    src=$(ls -d qt6-base-*/ | head -n 1)
fi
src=$work/${src%/}

# Host Qt supplies moc, rcc and uic; the target is found only under the MinGW root.
cmp -s "$here/mingw64.cmake" "$work/toolchain.cmake" || cp "$here/mingw64.cmake" "$work/toolchain.cmake"

# A build that was cut short goes on where it stopped.
if [ ! -f "$work/build/build.ninja" ]; then
    rm -rf "$work/build"
    mkdir -p "$work/build"
    cd "$work/build"
    # Debian's repacked source lacks src/3rdparty/wintab, hence no tablet events.
    cmake -S "$src" -B . -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DBUILD_SHARED_LIBS=ON \
        -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no \
        -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF \
        -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF -DFEATURE_vulkan=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF \
        -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF \
        -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
        -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_textmarkdownreader=OFF
    echo "configured after $(($(date +%s) - start)) s"
fi
cd "$work/build"
cmake --build . --parallel "$jobs"
cmake --install .
touch "$prefix/.complete"
echo "MinGW Qt built into $prefix in $(($(date +%s) - start)) s"
