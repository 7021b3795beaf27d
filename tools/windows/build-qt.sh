#!/usr/bin/env bash
# Builds the Qt that `make windows` uses: Qt 6.4.2 (Core, Gui, Widgets, Network; also Concurrent and Xml)
# for 64-bit Windows, static, release, from Debian 12's own source package qt6-base 6.4.2+dfsg, with
# Debian's MinGW-w64. TLS goes through the Windows system library (the Schannel backend); no OpenSSL,
# OpenGL, ICU or D-Bus; zlib, PCRE2, libpng, libjpeg, FreeType and HarfBuzz are bundled. About 45 minutes
# on 2 cores.
#   tools/windows/build-qt.sh WORKDIR
# gives WORKDIR/install (relocatable) and WORKDIR/qt-6.4.2-mingw-w64-static.tar.xz, which unpacks to
# install/. Use either with `make windows QT_WINDOWS=...`.
# Needs a deb-src line for bookworm and the packages g++-mingw-w64-x86-64-posix, qt6-base-dev (the host
# tools of the same version), cmake and ninja-build.
set -euo pipefail
work=$(realpath -m "${1:?usage: tools/windows/build-qt.sh WORKDIR}")
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work" && cd "$work"
apt-get source --download-only qt6-base
tar xf qt6-base_6.4.2+dfsg.orig.tar.xz
mkdir -p build && cd build
# The tablet-event feature is off: Debian's source tarball leaves out the third-party header it needs.
../qtbase-everywhere-src-6.4.2/configure -prefix "$work/install" -release -static -opensource -confirm-license \
  -nomake examples -nomake tests -no-opengl -schannel -no-openssl -no-dbus -no-icu \
  -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz \
  -no-feature-sql -no-feature-testlib -no-feature-printsupport -qt-host-path /usr \
  -- -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64.cmake" -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
     -DFEATURE_tabletevent=OFF -G Ninja
cmake --build . --parallel "$(nproc)"
cmake --install .
tar -C "$work" -cf - install | xz -T0 -6 > "$work/qt-6.4.2-mingw-w64-static.tar.xz"
