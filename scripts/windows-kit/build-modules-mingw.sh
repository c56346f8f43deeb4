#!/bin/bash
# Builds Qt Serial Port and Qt Charts 6.4.2 for x86_64-w64-mingw32 against a mingw qtbase prefix
# (made by build-qtbase-mingw.sh) and installs them into it. The sources are the v6.4.2 tags of
# Qt's public repositories (Debian's archive serves no source tarballs for qt6-serialport and
# qt6-charts): the tarballs qtserialport-everywhere-src-6.4.2.tar.xz and
# qtcharts-everywhere-src-6.4.2.tar.xz in QT_MODULES_SRC (default: ../shared/toolchains/src beside
# the clone), or, when they are not there, the tags cloned with git from code.qt.io.
# Usage: PREFIX=/path/to/qt6.4.2-mingw64 bash build-modules-mingw.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
PREFIX=${PREFIX:?set PREFIX to the mingw qtbase prefix}
work=${WORK:-$PWD/qt-modules-work}
src=${QT_MODULES_SRC:-$here/../../../shared/toolchains/src}
mkdir -p "$work"
sed "s#@PREFIX@#$PREFIX#g" "$here/mingw-toolchain.cmake.in" > "$work/toolchain.cmake"
for m in qtserialport qtcharts; do
  rm -rf "$work/$m" "$work/build-$m"
  if [ -f "$src/$m-everywhere-src-6.4.2.tar.xz" ]; then
    tar -xJf "$src/$m-everywhere-src-6.4.2.tar.xz" -C "$work"
    mv "$work/$m-everywhere-src-6.4.2" "$work/$m"
  else
    echo "build-modules-mingw.sh: no $src/$m-everywhere-src-6.4.2.tar.xz; cloning $m v6.4.2" >&2
    git clone -q --depth 1 --branch v6.4.2 "https://code.qt.io/qt/$m.git" "$work/$m"
  fi
  cmake -G Ninja -S "$work/$m" -B "$work/build-$m" -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_PREFIX_PATH="$PREFIX" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  cmake --build "$work/build-$m" -j"${J:-2}"
  cmake --install "$work/build-$m"
done
