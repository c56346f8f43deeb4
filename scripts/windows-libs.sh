#!/usr/bin/env bash
# Builds the libraries the Windows program needs beyond Qt and hidapi, for 64-bit Windows with
# mingw-w64, from Debian's source packages (fetched by scripts/debian-source.sh):
#   qcustomplot    the viewer's plots: libQCustomPlotQt6.dll, against the Qt kit
#   libxlsxwriter  the XLSX export: libxlsxwriter.dll, with Debian's libz-mingw-w64-dev linked in
#                  statically (no zlib1.dll to ship) and its own bundled minizip
# Each is built with its own CMake files, as Debian builds it, and installed into DEST/prefix
# (bin/*.dll, lib/*.dll.a, include/, lib/cmake/QCustomPlotQt6/, licenses/ with the licence texts
# of both and of zlib), and minizip's reader for the tests. Built once: a later call with
# the same sources and kit reuses DEST/prefix. Prints the prefix.
# QMC_LAUNCHER (e.g. ccache) is put before the compiler; QMC_JOBS (default 2) builds at once.
# Usage: windows-libs.sh DEST QT-PREFIX (the unpacked Qt kit)
set -euo pipefail
me=windows-libs.sh
dest=${1:?usage: windows-libs.sh DEST QT-PREFIX}
qt=$(cd "${2:?usage: windows-libs.sh DEST QT-PREFIX}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
prefix="$dest/prefix"
triple=x86_64-w64-mingw32

for f in "/usr/$triple/lib/libz.a" "/usr/$triple/include/zlib.h"; do
    if [ ! -f "$f" ]; then
        echo "$me: $f is missing: install libz-mingw-w64-dev (scripts/install-deps.sh)" >&2
        exit 1
    fi
done

qcp=$(bash "$here/debian-source.sh" qcustomplot "$dest/qcustomplot" qcustomplot.cpp)
lxw=$(bash "$here/debian-source.sh" libxlsxwriter "$dest/libxlsxwriter" include/xlsxwriter.h)

# What the prefix was built from; anything else builds it again.
stamp="$prefix/.built-from"
want=$(printf '%s\n' "$(head -1 "$qcp/debian/changelog")" "$(head -1 "$lxw/debian/changelog")" \
    "$qt" "$(ls -l "$qt/bin/Qt6Core.dll" 2>/dev/null)")
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] &&
    [ -f "$prefix/bin/libQCustomPlotQt6.dll" ] && [ -f "$prefix/bin/libxlsxwriter.dll" ] &&
    [ -f "$prefix/bin/libminizip.dll" ]; then
    echo "$prefix"
    exit 0
fi
rm -rf "$prefix"

toolchain="$dest/toolchain.cmake"
cat >"$toolchain" <<TOOLCHAIN
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER $triple-gcc-posix)
set(CMAKE_CXX_COMPILER $triple-g++-posix)
set(CMAKE_RC_COMPILER $triple-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triple "$qt" "$prefix")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TOOLCHAIN

build() {
    local name=$1 src=$2
    shift 2
    echo "$me: building $name for Windows" >&2
    rm -rf "$dest/build-$name"
    cmake -S "$src" -B "$dest/build-$name" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_C_COMPILER_LAUNCHER="${QMC_LAUNCHER:-}" \
        -DCMAKE_CXX_COMPILER_LAUNCHER="${QMC_LAUNCHER:-}" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=ON \
        "$@" >"$dest/build-$name.log" 2>&1 &&
        cmake --build "$dest/build-$name" -j"${QMC_JOBS:-2}" >>"$dest/build-$name.log" 2>&1 &&
        cmake --install "$dest/build-$name" --strip >>"$dest/build-$name.log" 2>&1 || {
        echo "$me: building $name failed; the last lines of $dest/build-$name.log:" >&2
        tail -20 "$dest/build-$name.log" >&2
        exit 1
    }
}

# Qt's host tools (moc) come from Debian's own Qt, as for the program itself.
build qcustomplot "$qcp" -DUSE_QT_VERSION=6 -DCMAKE_PREFIX_PATH="$qt" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
build libxlsxwriter "$lxw" -DZLIB_INCLUDE_DIR="/usr/$triple/include" \
    -DZLIB_LIBRARY="/usr/$triple/lib/libz.a" -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF

# For the tests only: minizip's reader from libxlsxwriter's copy of it, zlib inside, with which
# the XLSX export's tests read a workbook back.
echo "$me: building minizip's reader for the tests" >&2
mkdir -p "$prefix/include/minizip" "$prefix/lib"
cp "$lxw/third_party/minizip/unzip.h" "$lxw/third_party/minizip/ioapi.h" "$prefix/include/minizip/"
${QMC_LAUNCHER:-} $triple-gcc-posix -shared -O2 -w -DNOCRYPT -DNOUNCRYPT \
    "$lxw/third_party/minizip/ioapi.c" "$lxw/third_party/minizip/unzip.c" \
    "/usr/$triple/lib/libz.a" -o "$prefix/bin/libminizip.dll" -s \
    -Wl,--out-implib,"$prefix/lib/libminizip.dll.a" >"$dest/build-minizip.log" 2>&1 || {
    echo "$me: building minizip's reader failed:" >&2
    cat "$dest/build-minizip.log" >&2
    exit 1
}

for dll in libQCustomPlotQt6.dll libxlsxwriter.dll libminizip.dll; do
    if [ ! -f "$prefix/bin/$dll" ]; then
        echo "$me: the build made no $prefix/bin/$dll" >&2
        exit 1
    fi
done
mkdir -p "$prefix/licenses"
cp "$qcp/GPL.txt" "$prefix/licenses/QCustomPlot-GPL-3.0.txt"
cp "$qcp/debian/copyright" "$prefix/licenses/QCustomPlot-copyright.txt"
cp "$lxw/License.txt" "$prefix/licenses/libxlsxwriter-License.txt"
cp "$lxw/debian/copyright" "$prefix/licenses/libxlsxwriter-copyright.txt"
cp /usr/share/doc/libz-mingw-w64-dev/copyright "$prefix/licenses/zlib-copyright.txt"
echo "$want" >"$stamp"
echo "$prefix"
